// Presence as an open-file-description lock: held while the holder's descriptor is open,
// released by the kernel when the process ends, testable without taking it (F_OFD_GETLK) so
// asking never disturbs a monitor that is starting, and, unlike a classic record lock, neither
// dropped when the holder closes another descriptor of the file nor blind within one process.
#include "platform/monitor_presence.h"

#include <cerrno>
#include <cstdlib>
#include <string>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace ordavel::platform {

struct Presence::Native {
    int fd;
    std::string path;
};

namespace {

std::string RuntimeFolder();

std::string PresencePath(const std::string& name) {
    const std::string folder = RuntimeFolder();
    if (folder.empty() || name.empty() || name.find('/') != std::string::npos) return {};
    return folder + "/" + name;
}

struct flock WholeFileWriteLock() {
    struct flock lock {};
    lock.l_type = F_WRLCK;
    lock.l_whence = SEEK_SET;
    lock.l_start = 0;
    lock.l_len = 0;
    lock.l_pid = 0;  // required for open-file-description locks
    return lock;
}

// The folder the presence files live in (created 0700 when missing); empty when unusable.
std::string RuntimeFolder() {
    std::string folder;
    if (const char* own = std::getenv("MIRT_RUNTIME_DIR"); own != nullptr && *own != '\0') {
        folder = own;
    } else if (const char* xdg = std::getenv("XDG_RUNTIME_DIR"); xdg != nullptr && *xdg != '\0') {
        folder = xdg;
    } else {
        folder = "/tmp/mirt-runtime-" + std::to_string(::getuid());
    }
    if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) return {};
    struct stat info {};
    if (::stat(folder.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) return {};
    return folder;
}

int OpenAndLock(const std::string& path, int command) {
    const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0) return -1;
    struct flock lock = WholeFileWriteLock();
    int rc = 0;
    do {
        rc = ::fcntl(fd, command, &lock);
    } while (rc != 0 && errno == EINTR && command == F_OFD_SETLKW);
    if (rc != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

}  // namespace

std::unique_ptr<Presence> Presence::TakeWhenFree(const std::string& name) {
    const std::string path = PresencePath(name);
    if (path.empty()) return nullptr;
    const int fd = OpenAndLock(path, F_OFD_SETLKW);
    if (fd < 0) return nullptr;
    return std::unique_ptr<Presence>(new Presence(std::make_unique<Native>(Native{fd, path})));
}

std::unique_ptr<Presence> Presence::Take(const std::string& name) {
    const std::string path = PresencePath(name);
    if (path.empty()) return nullptr;
    const int fd = OpenAndLock(path, F_OFD_SETLK);
    if (fd < 0) return nullptr;
    // The holder's process id, for people looking at the file.
    const std::string pid = std::to_string(::getpid()) + "\n";
    if (::ftruncate(fd, 0) == 0 && ::write(fd, pid.data(), pid.size()) < 0) {
        // The lock is what counts; the text is only a courtesy.
    }
    return std::unique_ptr<Presence>(new Presence(std::make_unique<Native>(Native{fd, path})));
}

Presence::Presence(std::unique_ptr<Native> native) : native_(std::move(native)) {}

Presence::~Presence() {
    if (native_->fd >= 0) ::close(native_->fd);  // closing releases the lock
}

bool PresenceHeld(const std::string& name) {
    const std::string path = PresencePath(name);
    if (path.empty()) return false;
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
    if (fd < 0) return false;
    struct flock lock = WholeFileWriteLock();
    const bool asked = ::fcntl(fd, F_OFD_GETLK, &lock) == 0;
    ::close(fd);
    return asked && lock.l_type != F_UNLCK;
}

}  // namespace ordavel::platform
