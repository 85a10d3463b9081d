#!/usr/bin/env bash
# Installs every Debian package the project needs to build, test and run.
set -euo pipefail

packages=(
  build-essential cmake pkg-config git clang ccache
  libgtest-dev libgmock-dev libbenchmark-dev
  libusb-1.0-0-dev libpng-dev libtiff-dev libcli11-dev
  libumockdev-dev umockdev libsane-dev
  libhpdf-dev libjpeg-dev poppler-utils qpdf tmux
  sane-utils
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -eq 0 ]; then
  echo "setup: all packages present"
  exit 0
fi

sudo_cmd=()
[ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
echo "setup: installing ${missing[*]}"
"${sudo_cmd[@]}" apt-get update -qq
DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq "${missing[@]}"
