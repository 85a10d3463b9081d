// Finding, making and checking the per-user state directory.
#include "platform/state_dir.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <vector>

#include <dirent.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace ordavel::platform {

namespace {

std::string Variable(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr ? std::string(value) : std::string();
}

std::string HomeDirectory() {
    std::string home = Variable("HOME");
    if (!home.empty()) return home;
    std::vector<char> buffer(16384);
    struct passwd entry {};
    struct passwd* found = nullptr;
    if (::getpwuid_r(::geteuid(), &entry, buffer.data(), buffer.size(), &found) == 0 && found != nullptr &&
        found->pw_dir != nullptr) {
        return found->pw_dir;
    }
    return {};
}

// mkdir -p with 0700 for every directory it makes; existing ones are left as they are.
bool MakeDirectories(const std::string& path, std::string& error) {
    for (std::size_t slash = path.find('/', 1);; slash = path.find('/', slash + 1)) {
        const std::string prefix = path.substr(0, slash);
        if (!prefix.empty() && ::mkdir(prefix.c_str(), 0700) != 0 && errno != EEXIST) {
            error = "cannot create " + prefix + ": " + std::strerror(errno);
            return false;
        }
        if (slash == std::string::npos) return true;
    }
}

// The first symbolic link among the directory's entries, empty when there is none (or the
// directory cannot be listed, which the driver's own file operations then report).
std::string FirstLinkIn(const std::string& dir) {
    DIR* listing = ::opendir(dir.c_str());
    if (listing == nullptr) return {};
    std::string found;
    while (const dirent* entry = ::readdir(listing)) {
        const std::string path = dir + "/" + entry->d_name;
        struct stat info {};
        if (::lstat(path.c_str(), &info) == 0 && S_ISLNK(info.st_mode)) {
            found = path;
            break;
        }
    }
    ::closedir(listing);
    return found;
}

}  // namespace

std::string StateDirectoryPath() {
    if (std::string own = Variable(kStateDirVariable); !own.empty()) return own;
    if (std::string xdg = Variable("XDG_STATE_HOME"); !xdg.empty() && xdg.front() == '/') return xdg + "/mirt";
    const std::string home = HomeDirectory();
    if (home.empty()) return {};
    return home + "/.local/state/mirt";
}

std::string EnsureStateDirectory(std::string& error) {
    std::string path = StateDirectoryPath();
    if (path.empty()) {
        error = std::string("no state directory: set ") + kStateDirVariable + ", XDG_STATE_HOME or HOME";
        return {};
    }
    // A relative path (an override or HOME) would put the driver's files wherever each program
    // happens to start, a different directory and calibration per folder: refused, as the XDG
    // rules refuse a relative base.
    if (path.front() != '/') {
        error = "the state directory " + path + " is not an absolute path (set " + kStateDirVariable +
                " or HOME to one)";
        return {};
    }
    while (path.size() > 1 && path.back() == '/') path.pop_back();
    if (!MakeDirectories(path, error)) return {};
    struct stat info {};
    if (::lstat(path.c_str(), &info) != 0) {
        error = "cannot examine " + path + ": " + std::strerror(errno);
        return {};
    }
    if (S_ISLNK(info.st_mode) || !S_ISDIR(info.st_mode)) {
        error = path + " is not a directory of its own (a link or a file is in its place)";
        return {};
    }
    if (info.st_uid != ::geteuid()) {
        error = path + " belongs to another user";
        return {};
    }
    if ((info.st_mode & (S_IWGRP | S_IWOTH)) != 0) {
        error = path + " may be written by other users; make it private (chmod 700)";
        return {};
    }
    // Every file in here is the driver's own. A link among them would have the driver read its
    // settings from, or write its calibration into, whatever the link names; the directory is
    // refused instead, saying which link, rather than the link being followed or silently
    // replaced. Links above the directory (a home or ~/.local that is a link) are the user's
    // own arrangement and are followed.
    if (const std::string link = FirstLinkIn(path); !link.empty()) {
        error = link + " is a symbolic link; the driver keeps only files of its own in " + path +
                ": remove the link";
        return {};
    }
    return path;
}

}  // namespace ordavel::platform
