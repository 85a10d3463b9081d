#!/usr/bin/env bash
# Runs the Windows build's checks and test programs under wine, headless, in a wine prefix of
# its own (64-bit, so 32-bit programs run there through WoW64 as on 64-bit Windows): the file
# kinds and the export table of Ordavel.dll (objdump), then the test programs of each build,
# each with a time limit, while a watchdog presses OK on any message box, then the client,
# monitor and installer cases (scripts/windows/test-client.sh) and mirt.exe's
# (scripts/windows/test-mirt.sh). Build first with
# scripts/build-windows.sh, and the Linux build (./build) too: a sheet scanned under wine is
# compared with the same sheet scanned there. Exit status 0 when all pass.
#   scripts/test-windows.sh [win32|win64]...   the builds to test (default: those built)
#   TEST_TIMEOUT   seconds per test program (default 300)
#   WINE_TESTS_win32, WINE_TESTS_win64   the test programs to run of that build, names without
#                  .exe (default: every test_*.exe for win32; the C-interface test program,
#                  test_driver_interface, for win64, the secondary target)
#   WINE_CLIENT_win32, WINE_CLIENT_win64   1 to run the client cases for that build, 0 not to
#                  (default 1 for both)
#   WINEPREFIX     the prefix to use (default: a fresh one, removed afterwards)
set -uo pipefail
cd "$(dirname "$0")/.."
timeout_s=${TEST_TIMEOUT:-300}
requested=()
while [ $# -gt 0 ]; do
  case $1 in
    win32|win64) requested+=("$1") ;;
    *) echo "usage: scripts/test-windows.sh [win32|win64]..." >&2; exit 2 ;;
  esac
  shift
done
builds=()
if [ ${#requested[@]} -gt 0 ]; then
  for target in "${requested[@]}"; do
    [ -d "build-$target/bin" ] || { echo "test-windows: no build-$target/; run scripts/build-windows.sh $target" >&2; exit 2; }
    builds+=("build-$target")
  done
else
  for dir in build-win32 build-win64; do [ -d "$dir/bin" ] && builds+=("$dir"); done
fi
[ ${#builds[@]} -gt 0 ] || { echo "test-windows: no build-win32/ or build-win64/; run scripts/build-windows.sh" >&2; exit 2; }
# The programs and client cases each build runs (see the variables above).
tests_of() {
  case $1 in
    build-win32) echo "${WINE_TESTS_win32:-all}" ;;
    build-win64) echo "${WINE_TESTS_win64:-test_driver_interface}" ;;
  esac
}
client_of() {
  case $1 in
    build-win32) echo "${WINE_CLIENT_win32:-1}" ;;
    build-win64) echo "${WINE_CLIENT_win64:-1}" ;;
  esac
}

failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
pass() { echo "ok:   $*"; }

# The file kinds and export tables, without wine.
expected_exports="ScanCalibration ScanFeedPaper ScanGetCapability ScanGetScanHardware ScanGetScanInfo ScanGetScanParams ScanPaperEmpty ScanRead ScanSetScanParams ScanStart ScanStop"
for dir in "${builds[@]}"; do
  case $dir in build-win32) kind="PE32 executable"; objdump=i686-w64-mingw32-objdump ;;
               build-win64) kind="PE32+ executable"; objdump=x86_64-w64-mingw32-objdump ;; esac
  dll=$dir/bin/Ordavel.dll
  if file "$dll" | grep -q "$kind (DLL)"; then pass "$dll is $kind"; else fail "$dll: $(file -b "$dll")"; fi
  exports=$($objdump -p "$dll" | sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p' | awk '/\]/ && !/Table/ {print $NF}' | sort | tr '\n' ' ')
  if [ "${exports% }" = "$expected_exports" ]; then pass "$dll exports exactly the eleven names"
  else fail "$dll exports: ${exports:-nothing}"; fi
done

# A fresh headless prefix: wine's null graphics driver, no Mono or Gecko installers.
own_prefix=
if [ -z "${WINEPREFIX:-}" ]; then
  WINEPREFIX=$(mktemp -d /tmp/mirt-wine.XXXXXX)
  own_prefix=$WINEPREFIX
fi
export WINEPREFIX WINEDEBUG=-all WINEDLLOVERRIDES="mscoree=;mshtml="
cleanup() {
  [ -n "${watchdog_pid:-}" ] && kill "$watchdog_pid" 2> /dev/null
  wineserver -k 2> /dev/null
  [ -n "$own_prefix" ] && rm -rf "$own_prefix"
}
trap cleanup EXIT
echo "test-windows: preparing $WINEPREFIX"
timeout 180 wineboot -i > /dev/null 2>&1 || { echo "test-windows: wineboot failed" >&2; exit 2; }
wine reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d null /f > /dev/null 2>&1
wineserver -w

# Every message box closed as it appears, its text in the log.
watchdog=${builds[0]}/bin/mirt-dialog-watchdog.exe
if [ -x "$watchdog" ]; then
  wine "$watchdog" > /dev/null 2> "$WINEPREFIX/watchdog.log" &
  watchdog_pid=$!
else
  # Without it a message box waits for a press until the program's time limit.
  fail "no $watchdog: message boxes would stay open"
fi

for dir in "${builds[@]}"; do
  selected=$(tests_of "$dir")
  for test in "$dir"/bin/test_*.exe; do
    [ -e "$test" ] || continue
    if [ "$selected" != all ] && ! [[ " $selected " == *" $(basename "$test" .exe) "* ]]; then continue; fi
    log=$dir/$(basename "$test" .exe).wine.log
    start=$SECONDS
    timeout -k 10 "$timeout_s" wine "$test" --gtest_color=no > "$log" 2>&1
    rc=$?
    summary=$(grep -E '^\[  (PASSED|FAILED)  \]' "$log" | head -2 | tr '\n' ' ')
    if [ $rc -eq 0 ]; then pass "$test ($((SECONDS - start)) s) $summary"
    elif [ $rc -eq 124 ] || [ $rc -eq 137 ]; then fail "$test timed out after $timeout_s s (log: $log)"
    else fail "$test exit $rc $summary (log: $log)"; grep -E '^\[  FAILED  \]' "$log" | head -20; fi
  done
done
[ -s "$WINEPREFIX/watchdog.log" ] && { echo "message boxes closed by the watchdog:"; cat "$WINEPREFIX/watchdog.log"; }
rm -f "$WINEPREFIX/watchdog.log"

# The client, its monitor and the installer: their own cases in the same prefix, each with its
# time limit (the sheet is compared with the Linux build's scan, ./build).
for dir in "${builds[@]}"; do
  [ "$(client_of "$dir")" = 1 ] || continue
  if [ -f "$dir/bin/Pimlet.dll" ]; then
    if timeout -k 10 900 scripts/windows/test-client.sh "$dir"; then pass "$dir client, monitor and installer"
    else fail "$dir client, monitor and installer (scripts/windows/test-client.sh)"; fi
  fi
done
# mirt.exe, the console program, against the Linux build's mirt (scripts/windows/test-mirt.sh).
for dir in "${builds[@]}"; do
  [ -f "$dir/bin/mirt.exe" ] || continue
  if timeout -k 10 600 scripts/windows/test-mirt.sh "$dir"; then pass "$dir mirt.exe"
  else fail "$dir mirt.exe (scripts/windows/test-mirt.sh)"; fi
done
echo "test-windows: $failures failure(s)"
[ $failures -eq 0 ]
