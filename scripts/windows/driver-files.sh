#!/usr/bin/env bash
# Writes the driver's files into a temporary directory as a calibrated installation has them:
# "Mirt.def" naming the LM9832 description, the description itself, unit shading coefficients
# ("cr.dat") and a zero black reference ("BlackFINE.PXL"). The same files serve the Linux and the
# Windows run of a comparison, so both scan with the same calibration.
#   scripts/windows/driver-files.sh TEMP_DIR DATA_DIR
set -euo pipefail
temp=$1
data=$2
printf '[SETUP]\r\nScannerFile=Mirt9832.dsc\r\nDebug=0\r\nScan_Buffer_MBytes=8\r\n' > "$temp/Mirt.def"
cp -f "$data/Mirt9832.dsc" "$temp/Mirt9832.dsc"
python3 - "$temp" << 'PY'
import sys
pixels = 1680
temp = sys.argv[1]
with open(temp + "/cr.dat", "wb") as f:
    f.write(b"v2\n" + bytes([0x90, 0x06, 0, 0]) + b"\x40\x00" * (3 * pixels))
with open(temp + "/BlackFINE.PXL", "wb") as f:
    f.write(b"v2\n1680\n0.00\n0\n4\n4\n100\n200\n200\n2\n" + b"\0" * (2 * pixels))
PY
