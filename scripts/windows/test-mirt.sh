#!/usr/bin/env bash
# mirt.exe, the console program, under wine, each run compared with the same run of the Linux
# build's mirt (the same private virtual scanner on both systems, so the pages are the same bytes):
#   - the demonstration scan on a fresh user: calibrated first with the calibration sheet, then
#     three pages, each byte for byte the Linux page;
#   - a jam on the second sheet: exit 4, the first page kept, the jammed one under its own name,
#     the messages those of Linux with the driver's text in GBK;
#   - a page to standard output, whole (no newline byte turned into CR LF);
#   - a format this build cannot write, refused before paper moves.
#   scripts/windows/test-mirt.sh WINDOWS_BUILD_DIR [LINUX_BUILD_DIR]
set -euo pipefail
source "$(dirname "$0")/case-setup.sh"
[ -f "$WINEPREFIX/system.reg" ] || { mkdir -p "$WINEPREFIX"; timeout 120 wineboot -i > /dev/null 2>&1; }

mirt_exe=$build/bin/mirt.exe
mirt=$linux_build/bin/mirt
[ -f "$mirt_exe" ] || { echo "FAIL: no $mirt_exe"; exit 1; }
[ -x "$mirt" ] || { echo "FAIL: no Linux mirt at $mirt to compare with"; exit 1; }

scratch=$(mktemp -d "$WINEPREFIX/drive_c/mirt-cli.XXXXXX")
trap 'rm -rf "$scratch"' EXIT
# Each system's user has a driver directory of their own, empty at first: on Windows the
# temporary directory GetTempPathA names (TMP first), on Linux the state directory.
mkdir -p "$scratch/win/tmp" "$scratch/lin/state" "$scratch/win/work" "$scratch/lin/work"
win_tmp=$(windows_path "$scratch/win/tmp")
# Wine sets TMP and TEMP from the prefix's registry whatever the Unix environment says, so they
# are set inside the Windows command line (arguments without spaces or cmd's special characters).
on_windows() {
  local line="set TMP=$win_tmp&& set TEMP=$win_tmp&& $(windows_path "$mirt_exe")" argument
  for argument in "$@"; do line+=" $argument"; done
  (cd "$scratch/win/work" && timeout 120 wine cmd /c "$line")
}
on_linux() { (cd "$scratch/lin/work" && MIRT_STATE_DIR="$scratch/lin/state" MIRT_VIRTUAL_PRIVATE=1 timeout 120 "$mirt" "$@"); }
# What the Windows run said, as the Linux run says it: LF line ends, '/' separators, UTF-8, and
# each system's driver directory as "<driver directory>".
as_linux_text() {
  tr -d '\r' < "$1" | tr '\\' '/' | iconv -f GBK -t UTF-8 | sed "s|${win_tmp//\\//}|<driver directory>|g"
}
linux_text() { sed "s|$scratch/lin/state|<driver directory>|g" "$1"; }

# ---- the demonstration scan ---------------------------------------------------------------------
set +e
on_windows -d demo scan --output out > /dev/null 2> "$scratch/win/demo.txt"; win_rc=$?
on_linux -d demo scan --output out > /dev/null 2> "$scratch/lin/demo.txt"; lin_rc=$?
set -e
if [ $win_rc -eq 0 ] && [ $lin_rc -eq 0 ] && grep -q 'calibration done' "$scratch/win/demo.txt"; then
  pass "mirt.exe scan -d demo calibrates a fresh user and scans (exit 0)"
else
  fail "mirt.exe scan -d demo: exit $win_rc (Linux $lin_rc): $(tr -d '\r' < "$scratch/win/demo.txt" | tail -3)"
fi
same=0
for page in page001.bmp page002.bmp page003.bmp; do
  cmp -s "$scratch/win/work/out/$page" "$scratch/lin/work/out/$page" && same=$((same + 1))
done
[ $same -eq 3 ] && pass "the three demonstration pages scanned under wine are byte for byte the Linux pages" ||
  fail "only $same of the three demonstration pages match the Linux scan"
if [ "$(as_linux_text "$scratch/win/demo.txt")" = "$(linux_text "$scratch/lin/demo.txt")" ]; then
  pass "mirt.exe says what mirt says on Linux during the demonstration scan"
else
  fail "the demonstration scan's messages differ: $(diff <(as_linux_text "$scratch/win/demo.txt") <(linux_text "$scratch/lin/demo.txt") | head -6 | tr '\n' '|')"
fi

# ---- a jam on the second sheet ------------------------------------------------------------------
config=$scratch/jam.ini
sed -e 's/^Count=0$/Count=1/' -e 's/^Page=ticket$/Page=chart/' "$source_dir/data/virtual/reference.ini" > "$config"
printf '\n[Fault 1]\nType=Jam\nSheet=2\nAt_Position=1200\n' >> "$config"
set +e
on_windows -d "virtual:$(windows_path "$config")" scan --output jam > /dev/null 2> "$scratch/win/jam.txt"; win_rc=$?
on_linux -d "virtual:$config" scan --output jam > /dev/null 2> "$scratch/lin/jam.txt"; lin_rc=$?
set -e
jam_line=$(printf 'mirt: error: paper jam (塞纸)' | iconv -f UTF-8 -t GBK)
if [ $win_rc -eq 4 ] && [ $lin_rc -eq 4 ] && tr -d '\r' < "$scratch/win/jam.txt" | grep -qxF "$jam_line"; then
  pass "a jam ends mirt.exe with exit 4 and the driver's text in GBK"
else
  fail "jam: exit $win_rc (Linux $lin_rc), messages: $(as_linux_text "$scratch/win/jam.txt" | tail -3 | tr '\n' '|')"
fi
if cmp -s "$scratch/win/work/jam/page001.bmp" "$scratch/lin/work/jam/page001.bmp" &&
   cmp -s "$scratch/win/work/jam/page002-jammed.bmp" "$scratch/lin/work/jam/page002-jammed.bmp" &&
   [ "$(ls "$scratch/win/work/jam")" = "$(printf 'page001.bmp\npage002-jammed.bmp')" ]; then
  pass "the page before the jam and the jammed page are the Linux pages, the jammed one under its own name"
else
  fail "jam pages: $(ls "$scratch/win/work/jam" 2>&1 | tr '\n' ' ')"
fi
# The folder part of the configuration's path differs between the systems.
if [ "$(as_linux_text "$scratch/win/jam.txt" | grep -v 'virtual scanner')" = "$(linux_text "$scratch/lin/jam.txt" | grep -v 'virtual scanner')" ]; then
  pass "mirt.exe says what mirt says on Linux about the jam"
else
  fail "the jam's messages differ: $(diff <(as_linux_text "$scratch/win/jam.txt") <(linux_text "$scratch/lin/jam.txt") | head -6 | tr '\n' '|')"
fi

# ---- standard output ------------------------------------------------------------------------------
set +e
on_windows -d demo scan -o - --single > "$scratch/win/stdout.bmp" 2> /dev/null; win_rc=$?
set -e
[ $win_rc -eq 0 ] && cmp -s "$scratch/win/stdout.bmp" "$scratch/lin/work/out/page001.bmp" &&
  pass "a page on standard output is the file's bytes, unchanged" ||
  fail "page on standard output: exit $win_rc, $(stat -c %s "$scratch/win/stdout.bmp") bytes against $(stat -c %s "$scratch/lin/work/out/page001.bmp")"

# ---- a format this build cannot write -------------------------------------------------------------
set +e
on_windows -d demo scan --format png --output png > /dev/null 2> "$scratch/win/png.txt"; win_rc=$?
set -e
message=$(tr -d '\r' < "$scratch/win/png.txt")
[ $win_rc -eq 2 ] && [ ! -e "$scratch/win/work/png" ] && [[ $message == *"writes BMP pages only"* ]] &&
  pass "--format png is refused before paper moves: $message" ||
  fail "--format png: exit $win_rc, '$message'"

echo "test-mirt: $passed passed, $failures failed"
[ $failures -eq 0 ]
