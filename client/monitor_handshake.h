// What the scan-to-file library and the scan monitor share: the key "SOFTWARE\USBHalvex" of the
// current user with "bScanStart" (the library's: 1 while it scans, 32 after a feed failure, 0
// otherwise) and "bPaperLoaded" (the monitor's, see pimlet.h for its values), and the monitor's
// presence "usbHalvex".
#pragma once

#include <cstdint>

#include "platform/clock.h"

namespace mirt::client {

inline constexpr const char* kMonitorKey = "SOFTWARE\\USBHalvex";
// Read, set value, create subkey: what both sides ask for when they open the key.
inline constexpr uint32_t kMonitorKeyAccess = 0x2001F;
inline constexpr const char* kScanStartValue = "bScanStart";
inline constexpr const char* kPaperLoadedValue = "bPaperLoaded";
inline constexpr const char* kMonitorPresence = "usbHalvex";
// Held by the library for the length of a call that scans, so that applications of one user
// take turns at the scanner instead of interleaving their sheets.
inline constexpr const char* kClientScanPresence = "usbHalvex-client-scan";
// Held by whoever uses the scanner: the library for a whole call that scans, the monitor for
// one look. The monitor skips a look it cannot take it for; the library waits for a look to end.
inline constexpr const char* kDeviceUsePresence = "usbHalvex-device";

inline constexpr uint32_t kScanIdle = 0;
inline constexpr uint32_t kScanRunning = 1;
inline constexpr uint32_t kScanFeedFailed = 32;

// How long the library gives a freshly started monitor to write its first value.
inline constexpr uint32_t kMonitorStartWaitMs = 3000;
// Reads of "bPaperLoaded" before GetPaperLoaded settles for what it has.
inline constexpr int kPaperLoadedReads = 10;

// Sets "bScanStart" (creating the key when missing); false when the key cannot be created,
// opened or written.
bool SetScanStart(uint32_t value);

// 2 when "bScanStart" holds 32; else the last value read (see the source); 0 without a key.
int32_t GetPaperLoaded();

// Starts the monitor program unless a monitor is present, then waits (real time) for it to
// write its first value. A program that cannot be started is not detected here.
void StartMonitor(ordavel::platform::Clock& realClock);

// Withdraws the monitor's answer and waits (real time, at most the start wait) until the
// monitor has written a new one: for a call that waited while another application scanned.
void AwaitFreshPaperAnswer(ordavel::platform::Clock& realClock);

// A 32-bit value of the key read as four raw bytes whatever its type; nullopt-like false when
// it is missing or not four bytes long.
bool ReadKeyDword(const char* name, uint32_t& value);
bool WriteKeyDword(const char* name, uint32_t value);
bool DeleteKeyValue(const char* name);

}  // namespace mirt::client
