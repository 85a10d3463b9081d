#!/usr/bin/env bash
# The Windows client, monitor and installer under wine, each case with a time limit and a
# watchdog that closes message boxes:
#   - the exports of Pimlet.dll (objdump -p): exactly ScanToFile and GetPaperLoaded;
#   - install.exe operations 2, 8, 22 and 55 (and a run without an operation, and "5abc") against
#     wine's SetupAPI, the log read back from log box 1007 of the running dialog;
#   - ScanToFile through pimlet-scan.exe with Halvex.exe and the registry (values read back with
#     `wine reg query`), the sheet compared byte for byte with the same sheet scanned on Linux.
#   scripts/windows/test-client.sh WINDOWS_BUILD_DIR [LINUX_BUILD_DIR]
# The scan case needs Ordavel.dll in the Windows build and a Linux build (default ./build).
set -euo pipefail
source "$(dirname "$0")/case-setup.sh"
# A clean start: nothing left running in the prefix from an earlier run (a monitor, say).
timeout 30 wineserver -k > /dev/null 2>&1 || true
"$here/wine-windir.sh" "$build" "$WINEPREFIX" > /dev/null

crlf() { printf '%s\r\n' "$@"; }
# Until the probe writing to $1 has begun its watch (a first wine start can take seconds).
wait_for_watch() { for _ in $(seq 300); do grep -q '^watching' "$1" 2> /dev/null && return 0; sleep 0.1; done; }

scratch=$(mktemp -d "$WINEPREFIX/drive_c/mirt-test.XXXXXX")
trap 'timeout 30 wineserver -k > /dev/null 2>&1 || true; rm -rf "$scratch"' EXIT
windir=$(winepath -u "$(timeout 60 wine cmd /c 'echo %windir%' 2> /dev/null | tr -d '\r')")
# A 32-bit program on a 64-bit prefix sees the 32-bit system folder under that name.
system32=$windir/system32
if file "$build/bin/install.exe" | grep -q 'PE32 ' && [ -d "$windir/syswow64" ]; then system32=$windir/syswow64; fi
# Its driver folder under whatever letter case the prefix has it (unix names are exact).
drivers=$(find "$system32" -maxdepth 1 -iname drivers -type d | head -1)
drivers=${drivers:-$system32/drivers}
probe=$build/bin/mirt-window-probe.exe
# taskkill of the monitor's own width, as Windows has it in system32. The `wine` launcher starts
# wine's own programs as 32-bit ones on a 64-bit prefix, and a 32-bit program cannot list the
# modules of a 64-bit process (EnumProcessModules under WoW64, as on Windows), so a 32-bit
# taskkill does not find a 64-bit Halvex.exe by its name; wine's 64-bit loader runs the 64-bit one.
taskkill=(wine taskkill)
if file "$build/bin/Halvex.exe" | grep -q 'PE32+'; then
  wine64=$(command -v wine64 || ls /usr/lib/wine/wine64 /usr/lib/x86_64-linux-gnu/wine/wine64 2> /dev/null | head -1 || true)
  [ -n "$wine64" ] && taskkill=("$wine64" taskkill)
fi

# ---- exports --------------------------------------------------------------------------------
exports=$( (objdump -p "$build/bin/Pimlet.dll" 2> /dev/null || true) | sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p' | tail -n +2 |
          sed -n 's/.*\] \([A-Za-z_@0-9]*\)$/\1/p' | sort | tr '\n' ' ')
[ "$exports" = "GetPaperLoaded ScanToFile " ] && pass "Pimlet.dll exports exactly ScanToFile and GetPaperLoaded" ||
  fail "Pimlet.dll exports: '$exports'"

# ---- installer --------------------------------------------------------------------------------
# One run: the installer from its own folder (with the INF files beside it) while the probe
# watches its dialog; $log gets the log box's last text, $boxes the message boxes it closed.
installer_dir=$scratch/installer
mkdir -p "$installer_dir"
cp -f "$build/bin/install.exe" "$source_dir"/data/inf/*.INF "$installer_dir/"
# The driver files are delivered beside the INF files (stand-ins here). Without them wine's
# default file-queue callback retries the missing copy for ever instead of failing it.
for sys in BULKUSB USBVCOM ZEVVCOM; do printf 'MZ' > "$installer_dir/$sys.SYS"; done
run_installer() {
  local probe_out=$scratch/probe.txt
  timeout 40 wine "$probe" watch "扫描系统安装程序" 1007 30000 > "$probe_out" 2>&1 &
  local watcher=$!
  wait_for_watch "$probe_out"
  timeout 30 wine "$installer_dir/install.exe" "$@" || true
  wait "$watcher" || true
  probe_rc=0
  grep -q -- '^--- text ---' "$probe_out" || probe_rc=1
  log=$(sed -n '/^--- text ---$/,$p' "$probe_out" | tail -n +2; echo x)
  log=${log%x}
  boxes=$(grep '^box: ' "$probe_out" || true)
  controls=$(grep -E '^(control|button) ' "$probe_out" || true)
}

run_installer 22
expected=$(crlf '正在进行卸载设备驱动、清除程序......' '完成驱动卸载、连接清除......'; echo x); expected=${expected%x}
[ "$log" = "$expected" ] && pass "install 22 logs the two removal lines and closes by itself" ||
  fail "install 22 log: $(printf '%q' "$log")"
echo "$controls" | grep -q 'control 1007: multiline readonly autovscroll' &&
  echo "$controls" | grep -q 'button 1002: hidden' && pass "log box 1007 multi-line, read-only, auto-scrolling; button 1002 hidden" ||
  fail "dialog controls: $controls"

# Removal of the bulk driver's files: its INF and PNF, its driver file, and the stored INFs of
# class "USB" with the brand set (an INF of class "usb" stays: the class test is exact).
mkdir -p "$windir/inf" "$drivers"
printf '[Version]\r\nClass=USB\r\n[Strings]\r\nQUVE="Quve Systems"\r\n' > "$windir/inf/oem90.inf"
printf '[Version]\r\nClass=usb\r\n[Strings]\r\nQUVE="Quve Systems"\r\n' > "$windir/inf/oem91.inf"
touch "$windir/inf/oem90.PNF" "$windir/inf/BULKUSB.INF" "$windir/inf/BULKUSB.PNF" "$drivers/BULKUSB.SYS"
run_installer 22
left=""
for f in "$windir/inf/oem90.inf" "$windir/inf/oem90.PNF" "$windir/inf/BULKUSB.INF" "$windir/inf/BULKUSB.PNF" \
         "$drivers/BULKUSB.SYS"; do
  [ -e "$f" ] && left="$left $f"
done
[ -z "$left" ] && [ -e "$windir/inf/oem91.inf" ] && pass "install 22 deletes the bulk driver's files and stored INFs of class USB, keeps class usb" ||
  fail "install 22 left:$left; oem91.inf $( [ -e "$windir/inf/oem91.inf" ] && echo kept || echo deleted)"
rm -f "$windir/inf/oem91.inf"

run_installer
[ -z "$log" ] && pass "install without an operation: empty log, the window closes by itself" || fail "no operation log: $(printf '%q' "$log")"

# Operation 2: wine's UpdateDriverForPlugAndPlayDevicesA reports success (TRUE, last error 0) when
# no device has the identifier, so the update counts as done and the pre-installation path is
# not reached here; the POSIX tests cover it.
run_installer 2
expected=$(crlf '开始安装驱动......' '发现设备，开始安装驱动......'; echo x); expected=${expected%x}
[ "$log" = "$expected" ] && pass "install 2 logs the start and, as wine's driver update reports success, the update" ||
  fail "install 2 log: $(printf '%q' "$log")"

run_installer 5abc
expected=$(crlf '开始安装驱动......' '发现设备，开始安装驱动......'; echo x); expected=${expected%x}
[ "$log" = "$expected" ] && pass "install 5abc runs operation 5" || fail "install 5abc log: $(printf '%q' "$log")"

# Operation 8 against wine's SetupAPI: a root-enumerated device from ZEVVCOM.INF.
run_installer 8
dots=.............................................
expected=$(crlf "$dots" "$dots" '驱动安装完毕，请用户插入USB打印机，完成PNP设备的最后安装'; echo x); expected=${expected%x}
failed=$(crlf "$dots" '设备驱动安装失败！请卸载之后，重新开始安装！'; echo x); failed=${failed%x}
if [ "$log" = "$expected" ] && [ -z "$boxes" ]; then
  pass "install 8 registers the root device and installs its driver"
elif [ "$log" = "$failed" ] && [ -n "$boxes" ]; then
  pass "install 8 under wine fails a set-up step, reports it and logs the failure line: $boxes"
else
  fail "install 8 log: $(printf '%q' "$log") boxes: $boxes"
fi

run_installer 88
expected=$(crlf '正在进行卸载设备驱动、清除程序......' '完成驱动卸载、连接清除......'; echo x); expected=${expected%x}
[ "$log" = "$expected" ] && [ ! -e "$drivers/ZEVVCOM.SYS" ] && [ ! -e "$windir/inf/ZEVVCOM.INF" ] &&
  pass "install 88 removes the root device's driver file and INF" ||
  fail "install 88: log $(printf '%q' "$log"), ZEVVCOM.SYS $( [ -e "$drivers/ZEVVCOM.SYS" ] && echo kept || echo deleted)"

# Operation 8 with an INF without its Manufacturer section: the search step fails.
sed -i '/^\[Manufacturer\]/,/^$/d' "$installer_dir/ZEVVCOM.INF"
run_installer 8
expected=$(crlf "$dots" '设备驱动安装失败！请卸载之后，重新开始安装！'; echo x); expected=${expected%x}
[ "$log" = "$expected" ] && echo "$boxes" | grep -q 'in search for specified device' &&
  pass "install 8 without a Manufacturer section reports 'search for specified device' and logs the failure" ||
  fail "install 8 (no Manufacturer) log: $(printf '%q' "$log") boxes: $boxes"
cp -f "$source_dir/data/inf/ZEVVCOM.INF" "$installer_dir/"

# ---- ScanToFile --------------------------------------------------------------------------------
if [ -f "$build/bin/Ordavel.dll" ] && [ -x "$linux_build/bin/pimlet-scan" ]; then
  # The same sheet, the same driver files and the same private virtual scanner on both systems.
  linux=$scratch/linux
  mkdir -p "$linux/tmp" "$linux/out" "$linux/registry" "$linux/runtime"
  "$here/driver-files.sh" "$linux/tmp" "$source_dir/data"
  sed 's/^Sheets=.*/Sheets=1/' "$source_dir/data/virtual/reference.ini" > "$scratch/scanner.ini"
  linux_run=$(env MIRT_STATE_DIR="$linux/tmp" MIRT_REGISTRY="$linux/registry" MIRT_RUNTIME_DIR="$linux/runtime" \
      MIRT_WINDIR="$linux_build/windir" MIRT_VIRTUAL_SCANNER="$scratch/scanner.ini" MIRT_VIRTUAL_PRIVATE=1 \
      timeout 120 "$linux_build/bin/pimlet-scan" "$linux/out" page 8 200 1 0 2>&1 || true)
  [ -f "$linux/runtime/usbHalvex" ] && kill "$(cat "$linux/runtime/usbHalvex")" 2> /dev/null || true

  out=$scratch/out
  mkdir -p "$out"
  timeout 60 wine reg delete 'HKCU\SOFTWARE\USBHalvex' /f > /dev/null 2>&1 || true
  timeout 150 wine "$probe" boxes 140000 > "$scratch/boxes.txt" 2>&1 &
  watchdog=$!
  # The progress dialog of the first page, read while the scan runs.
  timeout 150 wine "$probe" watch "第 1页" 3001 140000 > "$scratch/progress.txt" 2>&1 &
  progress=$!
  wait_for_watch "$scratch/progress.txt"
  # Into a file, not a pipe: the monitor the call starts inherits the call's standard handles
  # and would hold a pipe open for as long as it runs.
  MIRT_VIRTUAL_SCANNER=$(windows_path "$scratch/scanner.ini") MIRT_VIRTUAL_PRIVATE=1 \
    timeout 120 wine "$build/bin/pimlet-scan.exe" "$(windows_path "$out")" page 8 200 1 0 > "$scratch/scan.txt" 2>&1 || true
  wine_run=$(tr -d '\r' < "$scratch/scan.txt")
  [ "$linux_run" = "result 0 pages 1" ] || fail "Linux reference scan: $linux_run"
  [ "$wine_run" = "result 0 pages 1" ] && pass "ScanToFile under wine scans the sheet into one file" ||
    fail "ScanToFile under wine: $wine_run"
  if cmp -s "$linux/out/page001.bmp" "$out/page001.bmp"; then
    pass "the sheet scanned under wine is byte for byte the sheet scanned on Linux"
  else
    fail "page001.bmp differs from the Linux scan: $(cmp "$linux/out/page001.bmp" "$out/page001.bmp" 2>&1 | head -1)"
  fi
  registry=$(timeout 60 wine reg query 'HKCU\SOFTWARE\USBHalvex' 2> /dev/null | tr -d '\r')
  echo "$registry" | grep -Eq 'bScanStart[[:space:]]+REG_DWORD[[:space:]]+0x0$' &&
    echo "$registry" | grep -Eq 'bPaperLoaded[[:space:]]+REG_DWORD[[:space:]]+0x1$' &&
    pass "registry: bScanStart 0 after the scan, bPaperLoaded 1 from the monitor's own look" ||
    fail "registry after the scan: $registry"
  timeout 30 wine "$probe" exists usbHalvex > /dev/null 2>&1 && pass "Halvex.exe runs with its window usbHalvex" ||
    fail "no window usbHalvex after the scan"
  wait "$progress" || true
  progress_text=$(sed -n '/^--- text ---$/,$p' "$scratch/progress.txt" | tail -n +2)
  if ! grep -q '^button 1: visible' "$scratch/progress.txt"; then
    fail "progress dialog: $(cat "$scratch/progress.txt")"
  elif [ "$progress_text" = "传输模式 :   Native" ]; then
    pass "the progress dialog '第 1页' showed its mode text and OK button, and was destroyed at the end"
  else
    fail "progress dialog text: $(printf '%q' "$progress_text")"
  fi

  # A feed failure left from an earlier call: the next call reports it once and clears it. The
  # monitor runs already, so the call neither starts it nor waits for it.
  timeout 60 wine reg add 'HKCU\SOFTWARE\USBHalvex' /v bScanStart /t REG_DWORD /d 32 /f > /dev/null 2>&1
  started=$(date +%s%N)
  timeout 60 wine "$build/bin/pimlet-scan.exe" "$(windows_path "$out")" again 8 200 1 0 > "$scratch/again.txt" 2>&1 || true
  again=$(tr -d '\r' < "$scratch/again.txt")
  elapsed_ms=$(( ($(date +%s%N) - started) / 1000000 ))
  cleared=$(timeout 60 wine reg query 'HKCU\SOFTWARE\USBHalvex' /v bScanStart 2> /dev/null | tr -d '\r')
  [ "$again" = "result 2 pages 0" ] && echo "$cleared" | grep -Eq 'REG_DWORD[[:space:]]+0x0$' &&
    pass "bScanStart 32 from a feed failure: result 2 once, then cleared (${elapsed_ms} ms with the monitor present)" ||
    fail "after bScanStart 32: '$again', $cleared"
  [ -s "$scratch/boxes.txt" ] && fail "message boxes during the scan: $(cat "$scratch/boxes.txt")"
  kill "$watchdog" 2> /dev/null || true
else
  # Not a skip: without the reference the comparison would pass unseen.
  fail "ScanToFile not run: it needs Ordavel.dll in $build/bin and the Linux build's pimlet-scan in $linux_build/bin"
fi

# ---- the monitor's end ------------------------------------------------------------------------
# A close asked of the monitor (taskkill sends its windows WM_CLOSE) ends it cleanly: its window
# goes and its answer is withdrawn. Started here as the library starts it when none runs.
if ! timeout 30 wine "$probe" exists usbHalvex > /dev/null 2>&1; then
  (timeout 120 wine "$windir/twain_32/Mirt/Halvex.exe" > /dev/null 2>&1 &)
  for _ in $(seq 100); do timeout 30 wine "$probe" exists usbHalvex > /dev/null 2>&1 && break; sleep 0.1; done
fi
if timeout 30 wine "$probe" exists usbHalvex > /dev/null 2>&1; then
  for _ in $(seq 50); do
    timeout 60 wine reg query 'HKCU\SOFTWARE\USBHalvex' /v bPaperLoaded > /dev/null 2>&1 && break; sleep 0.1
  done
  timeout 30 "${taskkill[@]}" /im Halvex.exe > "$scratch/taskkill.txt" 2>&1 || true
  for _ in $(seq 50); do timeout 30 wine "$probe" exists usbHalvex > /dev/null 2>&1 || break; sleep 0.1; done
  answer=$(timeout 60 wine reg query 'HKCU\SOFTWARE\USBHalvex' /v bPaperLoaded 2> /dev/null | tr -d '\r' |
           grep REG_ || true)
  ! timeout 30 wine "$probe" exists usbHalvex > /dev/null 2>&1 && [ -z "$answer" ] &&
    pass "Halvex.exe ends on a close request, its window gone and bPaperLoaded withdrawn" ||
    fail "Halvex.exe after taskkill: answer '$answer', taskkill: $(tr -d '\r' < "$scratch/taskkill.txt")"
else
  fail "Halvex.exe shows no window usbHalvex"
fi

# ---- installer: scanner removal -------------------------------------------------------------
# Operation 55 empties the scanner's data-source folder under twain_32 (named by the installer's
# own Mirt_XP.INF; the folder stays) and deletes the stored INFs of its provider. It removes the
# driver and the monitor, so it runs last, with the monitor stopped, and the layout is made again.
timeout 30 wineserver -k > /dev/null 2>&1 || true
printf '[Version]\r\nClass=Image\r\n[Strings]\r\nProvider="Quorvanel Imaging"\r\n' > "$windir/inf/oem92.inf"
touch "$windir/twain_32/Mirt/extra.ds" "$windir/inf/Mirt_XP.INF" "$windir/inf/Mirt_XP.PNF"
run_installer 55
remaining=$(find "$windir/twain_32/Mirt" -type f | wc -l)
expected=$(crlf '正在进行卸载设备驱动、清除程序......' '完成驱动卸载、连接清除......'; echo x); expected=${expected%x}
[ "$log" = "$expected" ] && [ -d "$windir/twain_32/Mirt" ] && [ "$remaining" -eq 0 ] &&
  [ ! -e "$windir/inf/oem92.inf" ] && [ ! -e "$windir/inf/Mirt_XP.INF" ] && [ ! -e "$windir/inf/Mirt_XP.PNF" ] &&
  pass "install 55 empties twain_32\\Mirt (the folder stays) and deletes the provider's INFs" ||
  fail "install 55: log $(printf '%q' "$log"), $remaining files left, oem92.inf $( [ -e "$windir/inf/oem92.inf" ] && echo kept || echo deleted)"
"$here/wine-windir.sh" "$build" "$WINEPREFIX" > /dev/null

echo "windows client tests: $passed passed, $failures failed"
[ "$failures" -eq 0 ]
