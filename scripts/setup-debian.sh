#!/usr/bin/env bash
# Installs every Debian package the project needs to build, test and run.
set -euo pipefail

packages=(
  build-essential cmake pkg-config git clang ccache
  libgtest-dev libgmock-dev libbenchmark-dev
  libusb-1.0-0-dev libpng-dev libtiff-dev libcli11-dev
  libumockdev-dev umockdev libsane-dev udev
  sane-utils poppler-utils libhpdf-dev libjpeg-dev qpdf tmux
  # The Windows build (scripts/build-windows.sh) and its tests under wine; wine32 is the i386
  # package, so the i386 architecture is added first.
  g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix binutils-mingw-w64-i686 binutils-mingw-w64-x86-64
  wine wine32:i386 wine64
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
if printf '%s\n' "${missing[@]}" | grep -q ':i386$' && ! dpkg --print-foreign-architectures | grep -qx i386; then
  "${sudo_cmd[@]}" dpkg --add-architecture i386
fi
"${sudo_cmd[@]}" apt-get update -qq
DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq "${missing[@]}"
