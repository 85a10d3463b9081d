// The registry handshake with the scan monitor and the paper-loaded query.
#include "client/monitor_handshake.h"

#include <cstring>

#include "client/driver_binding.h"
#include "platform/detached_launch.h"
#include "platform/monitor_presence.h"
#include "platform/registry_store.h"

namespace mirt::client {

namespace {

using ordavel::platform::RegistryKey;

// A value that is not exactly four bytes is not read at all: a shorter one would leave part
// of the previous value in place and a longer one would not fit.
bool ReadDword(const RegistryKey& key, const char* name, uint32_t& value) {
    const auto stored = key.query(name);
    if (!stored || stored->bytes.size() != sizeof value) return false;
    value = stored->bytes[0] | (stored->bytes[1] << 8) | (stored->bytes[2] << 16) |
            (static_cast<uint32_t>(stored->bytes[3]) << 24);
    return true;
}

}  // namespace

bool ReadKeyDword(const char* name, uint32_t& value) {
    const auto key = RegistryKey::CreateOrOpen(kMonitorKey, kMonitorKeyAccess);
    return key && ReadDword(*key, name, value);
}

bool WriteKeyDword(const char* name, uint32_t value) {
    if (!RegistryKey::CreateOrOpen(kMonitorKey, kMonitorKeyAccess)) return false;
    const auto key = RegistryKey::Open(kMonitorKey, kMonitorKeyAccess);
    return key && key->setDword(name, value);
}

bool DeleteKeyValue(const char* name) {
    const auto key = RegistryKey::Open(kMonitorKey, kMonitorKeyAccess);
    return !key || key->deleteValue(name);
}

bool SetScanStart(uint32_t value) { return WriteKeyDword(kScanStartValue, value); }

int32_t GetPaperLoaded() {
    uint32_t v = 0;
    if (!RegistryKey::CreateOrOpen(kMonitorKey, kMonitorKeyAccess)) return 0;
    const auto key = RegistryKey::Open(kMonitorKey, kMonitorKeyAccess);
    if (!key) return 0;
    // One variable takes both reads: when "bPaperLoaded" cannot be read the answer is what
    // "bScanStart" held (1 while a scan runs, so a caller mid-scan is not told "no paper").
    if (ReadDword(*key, kScanStartValue, v) && v == kScanFeedFailed) return 2;
    for (int i = 0; i < kPaperLoadedReads; ++i) {
        if (!ReadDword(*key, kPaperLoadedValue, v) || v != 0) break;
    }
    return static_cast<int32_t>(v);
}

void AwaitFreshPaperAnswer(ordavel::platform::Clock& realClock) {
    constexpr uint32_t kPollMs = 50;
    DeleteKeyValue(kPaperLoadedValue);
    uint32_t answer = 0;
    for (uint32_t waited = 0; waited < kMonitorStartWaitMs; waited += kPollMs) {
        if (ReadKeyDword(kPaperLoadedValue, answer)) return;
        realClock.sleep(kPollMs);
    }
}

void StartMonitor(ordavel::platform::Clock& realClock) {
    if (ordavel::platform::PresenceHeld(kMonitorPresence)) return;
    const std::string program = MonitorProgramPath();
    if (!program.empty()) ordavel::platform::LaunchDetached(program);
    realClock.sleep(kMonitorStartWaitMs);
}

}  // namespace mirt::client
