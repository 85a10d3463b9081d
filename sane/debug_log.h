// The backend's messages on standard error, by SANE's debugging convention: SANE_DEBUG_MIRT sets
// the level, a message is shown when its level is at or below it, each line begins "[mirt] ".
#pragma once

#include <string>

namespace mirt::sane_backend {

// What a message is for, by the levels SANE's backends share.
enum class LogLevel : int {
    User = 0,   // shown always: what the user must do (calibrate, clear a jam)
    Error = 1,  // why a call failed, with the driver's own status text
    Info = 3,   // what the backend does (devices found, sheets fed)
    Trace = 5,  // every entry point
};

class DebugLog {
public:
    DebugLog() = default;
    explicit DebugLog(int level) : level_(level) {}

    // The level of SANE_DEBUG_MIRT (0 when unset or not a number).
    static DebugLog FromEnvironment();

    bool shows(LogLevel level) const { return static_cast<int>(level) <= level_; }
    void say(LogLevel level, const std::string& text) const;

private:
    int level_ = 0;
};

}  // namespace mirt::sane_backend
