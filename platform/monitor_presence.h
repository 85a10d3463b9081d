// A program's presence for others to see: while it runs it holds an exclusive lock on a file
// named after it in the user's runtime folder ($MIRT_RUNTIME_DIR, else $XDG_RUNTIME_DIR, else a
// per-user folder under /tmp). "The monitor window exists" means a live process holds the lock;
// the lock goes with the process, so a crashed monitor never looks present.
#pragma once

#include <memory>
#include <string>

namespace ordavel::platform {

class Presence {
public:
    // Takes the presence `name`; null when another live process holds it or the folder is unusable.
    static std::unique_ptr<Presence> Take(const std::string& name);
    // Takes the presence `name`, waiting for as long as another live process holds it; null
    // only when the folder is unusable.
    static std::unique_ptr<Presence> TakeWhenFree(const std::string& name);
    ~Presence();
    Presence(const Presence&) = delete;
    Presence& operator=(const Presence&) = delete;

private:
    Presence(int fd, std::string path) : fd_(fd), path_(std::move(path)) {}
    int fd_;
    std::string path_;
};

// True when a live process holds the presence `name` (it is not taken by asking).
bool PresenceHeld(const std::string& name);

// The folder the presence files live in (created 0700 when missing); empty when unusable.
std::string RuntimeFolder();

}  // namespace ordavel::platform
