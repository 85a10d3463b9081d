/* USB identities of the scanner and its sibling devices, used by the installer's INF files, the
 * udev access rules and the virtual scanner. Vendor 0xF1D7 is a private development number that
 * this project chose because no product is known to use it (see data/inf/README.md); change it
 * here, in data/inf and in data/udev/60-mirt.hwdb together. Plain C so every part of the system can include it. */
#ifndef MIRT_USB_IDS_H
#define MIRT_USB_IDS_H

#define MIRT_USB_VENDOR_ID 0xF1D7

/* The sheet-fed scanner itself. */
#define MIRT_SCANNER_PRODUCT_ID 0x5C01
#define MIRT_SCANNER_HARDWARE_ID "USB\\VID_F1D7&PID_5C01"

/* The five bulk-transfer devices the bulk USB and virtual serial port drivers serve, in the
 * order the installer tries them. */
#define MIRT_BULK_DEVICE_HARDWARE_IDS                                                      \
    {"USB\\VID_F1D7&PID_0B01", "USB\\VID_F1D7&PID_0B02", "USB\\VID_F1D7&PID_0B03",         \
     "USB\\VID_F1D7&PID_0B04", "USB\\VID_F1D7&PID_0B05"}

#endif
