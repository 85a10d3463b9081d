#!/usr/bin/env bash
# Makes (or refreshes) a wine prefix laid out as a Windows user of the system has it: the driver
# and the monitor in "<Windows directory>\twain_32\Mirt\" where the scan-to-file library looks
# for them, headless (wine's null graphics driver), and the driver's files in the user's
# temporary directory as a calibrated installation has them.
#   scripts/windows/wine-windir.sh WINDOWS_BUILD_DIR [PREFIX]
# PREFIX defaults to $WINEPREFIX, else WINDOWS_BUILD_DIR/wine-prefix. Prints the prefix.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
source_dir=$(cd "$here/../.." && pwd)
build=$(cd "$1" && pwd)
prefix=${2:-${WINEPREFIX:-$build/wine-prefix}}
export WINEPREFIX=$prefix WINEDEBUG=${WINEDEBUG:--all}

if [ ! -f "$prefix/system.reg" ]; then
  mkdir -p "$prefix"
  timeout 120 wineboot -i > /dev/null 2>&1
fi
# No X server on the test machines: windows exist, nothing is drawn.
timeout 60 wine reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d null /f > /dev/null 2>&1

windir=$(timeout 60 wine cmd /c 'echo %windir%' 2> /dev/null | tr -d '\r')
mirt=$(winepath -u "$windir")/twain_32/Mirt
mkdir -p "$mirt"
for file in Ordavel.dll Halvex.exe; do
  [ -f "$build/bin/$file" ] && cp -f "$build/bin/$file" "$mirt/$file"
done

# The driver's files: its settings naming the description, the description, and a neutral
# stored calibration (unit shading coefficients, a zero black reference).
temp=$(winepath -u "$(timeout 60 wine cmd /c 'echo %TEMP%' 2> /dev/null | tr -d '\r')")
mkdir -p "$temp"
"$here/driver-files.sh" "$temp" "$source_dir/data"
echo "$prefix"
