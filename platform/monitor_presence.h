// A program's presence for others to see, held for as long as the holder keeps it and released
// by the system when the holder's process ends, so a crashed monitor never looks present.
// On POSIX it is an exclusive lock on a file named after it in the user's runtime folder
// ($MIRT_RUNTIME_DIR, else $XDG_RUNTIME_DIR, else a per-user folder under /tmp); on Windows a
// named mutex of the session and a hidden top-level window titled with the name, so that
// "the monitor's window exists" is exactly what FindWindowA sees.
#pragma once

#include <memory>
#include <string>

namespace ordavel::platform {

class Presence {
public:
    // Takes the presence `name`; null when another live process holds it or it cannot be made.
    static std::unique_ptr<Presence> Take(const std::string& name);
    // Takes the presence `name`, waiting for as long as another live process holds it; null
    // only when it cannot be made.
    static std::unique_ptr<Presence> TakeWhenFree(const std::string& name);
    ~Presence();
    Presence(const Presence&) = delete;
    Presence& operator=(const Presence&) = delete;

    // What the system holds for the presence (a locked file, or a mutex and a window).
    struct Native;

private:
    explicit Presence(std::unique_ptr<Native> native);
    std::unique_ptr<Native> native_;
};

// True when a live process holds the presence `name` (it is not taken by asking).
bool PresenceHeld(const std::string& name);

}  // namespace ordavel::platform
