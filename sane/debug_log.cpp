// The backend's debug messages.
#include "sane/debug_log.h"

#include <charconv>
#include <cstdio>

#include "platform/process.h"

namespace mirt::sane_backend {

DebugLog DebugLog::FromEnvironment() {
    const std::string text = ordavel::platform::GetEnvironment("SANE_DEBUG_MIRT");
    int level = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), level);
    if (ec != std::errc() || level < 0) level = 0;
    (void)end;
    return DebugLog(level);
}

void DebugLog::say(LogLevel level, const std::string& text) const {
    if (!shows(level)) return;
    // One write per message, so lines of two threads (saned's) never interleave within a line.
    const std::string line = "[mirt] " + text + "\n";
    std::fwrite(line.data(), 1, line.size(), stderr);
}

}  // namespace mirt::sane_backend
