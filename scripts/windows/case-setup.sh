# Sourced by the wine case scripts (test-client.sh, test-mirt.sh), with their arguments
# WINDOWS_BUILD_DIR [LINUX_BUILD_DIR]: the folders, the wine prefix, and the result lines
# counted in $passed and $failures.
here=$(cd "$(dirname "${BASH_SOURCE[1]}")" && pwd)
source_dir=$(cd "$here/../.." && pwd)
build=$(cd "$1" && pwd)
linux_build=${2:-$source_dir/build}
export WINEPREFIX=${WINEPREFIX:-$build/wine-prefix} WINEDEBUG=${WINEDEBUG:--all}

failures=0
passed=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
pass() { echo "ok:   $*"; passed=$((passed + 1)); }
windows_path() { winepath -w "$1" 2> /dev/null; }
