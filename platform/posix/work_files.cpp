// Work files of the driver on POSIX.
#include "platform/work_files.h"

#include <cerrno>
#include <cstdio>
#include <vector>

#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

namespace ordavel::platform {

std::FILE* CreateOwnerFile(const std::string& path) {
    if (path.empty()) return nullptr;
    // unlink removes a link itself. O_EXCL then refuses whatever entry appeared meanwhile (a
    // link planted between the two calls included: O_CREAT | O_EXCL never follows one), and
    // O_NOFOLLOW says the same to a reader of this code.
    if (::unlink(path.c_str()) != 0 && errno != ENOENT) return nullptr;
    const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, S_IRUSR | S_IWUSR);
    if (fd < 0) return nullptr;
    std::FILE* file = ::fdopen(fd, "w+b");
    if (file == nullptr) ::close(fd);
    return file;
}

std::string UniqueTemporaryFile(const std::string& directory, const std::string& prefix) {
    std::string pattern = directory;
    if (!pattern.empty() && pattern.back() != '/') pattern += '/';
    pattern += prefix + "XXXXXX";
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    const int fd = ::mkstemp(name.data());
    if (fd < 0) return {};
    ::close(fd);
    return std::string(name.data());
}

bool EntryExists(const std::string& path) {
    struct stat info {};
    return !path.empty() && ::lstat(path.c_str(), &info) == 0;
}

bool SyncFile(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return false;
    struct stat info {};
    bool ok = ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && ::fsync(fd) == 0;
    ok = (::close(fd) == 0) && ok;
    return ok;
}

bool MoveIntoPlace(const std::string& from, const std::string& to) {
    return SyncFile(from) && std::rename(from.c_str(), to.c_str()) == 0;
}

bool RemoveEntry(const std::string& path) {
    return ::unlink(path.c_str()) == 0 || errno == ENOENT;
}

}  // namespace ordavel::platform
