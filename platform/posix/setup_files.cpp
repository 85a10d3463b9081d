// File helpers of the POSIX device set-up.
#include "platform/setup_files.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <filesystem>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/setup_errors.h"

namespace ordavel::platform::setup_files {

namespace fs = std::filesystem;

uint32_t ErrorFromErrno(int error) {
    switch (error) {
        case 0: return setup_error::kSuccess;
        case ENOENT: return setup_error::kFileNotFound;
        case ENOTDIR: return setup_error::kPathNotFound;
        case EACCES:
        case EPERM:
        case EROFS:
        case EISDIR: return setup_error::kAccessDenied;
        case ENOMEM:
        case EFBIG: return setup_error::kNotEnoughMemory;
        case EEXIST: return setup_error::kFileExists;
        case EINVAL: return setup_error::kInvalidParameter;
        case ENOSPC:
        case EDQUOT: return setup_error::kDiskFull;
        case ENAMETOOLONG: return setup_error::kFilenameTooLong;
        default: return setup_error::kGeneralFailure;
    }
}

std::optional<std::string> ReadFile(const std::string& path, std::size_t limit, uint32_t& error) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (fd < 0) {
        error = ErrorFromErrno(errno);
        return std::nullopt;
    }
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        error = setup_error::kAccessDenied;
        return std::nullopt;
    }
    if (static_cast<uint64_t>(info.st_size) > limit) {
        ::close(fd);
        error = setup_error::kNotEnoughMemory;
        return std::nullopt;
    }
    std::string content;
    char chunk[65536];
    for (;;) {
        const ssize_t n = ::read(fd, chunk, sizeof chunk);
        if (n < 0) {
            if (errno == EINTR) continue;
            error = ErrorFromErrno(errno);
            ::close(fd);
            return std::nullopt;
        }
        if (n == 0) break;
        if (content.size() + static_cast<std::size_t>(n) > limit) {
            ::close(fd);
            error = setup_error::kNotEnoughMemory;
            return std::nullopt;
        }
        content.append(chunk, static_cast<std::size_t>(n));
    }
    ::close(fd);
    return content;
}

bool WriteFileAtomically(const std::string& path, const std::string& content, bool exclusive, uint32_t& error) {
    std::string tmp = path + ".tmp-XXXXXX";
    const int fd = ::mkstemp(tmp.data());
    if (fd < 0) {
        error = ErrorFromErrno(errno);
        return false;
    }
    std::size_t written = 0;
    while (written < content.size()) {
        const ssize_t n = ::write(fd, content.data() + written, content.size() - written);
        if (n < 0) {
            if (errno == EINTR) continue;
            error = ErrorFromErrno(errno);
            ::close(fd);
            ::unlink(tmp.c_str());
            return false;
        }
        written += static_cast<std::size_t>(n);
    }
    ::fchmod(fd, 0644);
    if (::close(fd) != 0) {
        error = ErrorFromErrno(errno);
        ::unlink(tmp.c_str());
        return false;
    }
    // link() refuses to replace, which is what an exclusive write needs.
    const int result = exclusive ? ::link(tmp.c_str(), path.c_str()) : ::rename(tmp.c_str(), path.c_str());
    const int saved = errno;
    if (exclusive || result != 0) ::unlink(tmp.c_str());
    if (result != 0) {
        error = ErrorFromErrno(saved);
        return false;
    }
    return true;
}

bool MakeDirectories(const std::string& path, uint32_t& error) {
    std::error_code ec;
    fs::create_directories(path, ec);
    if (ec) {
        // Something that is not a folder in the way reads as a missing path, not as "exists".
        std::error_code statError;
        const bool blocked = fs::exists(path, statError) && !fs::is_directory(path, statError);
        error = blocked ? setup_error::kPathNotFound : ErrorFromErrno(ec.value());
        return false;
    }
    if (!fs::is_directory(path, ec)) {
        error = setup_error::kPathNotFound;
        return false;
    }
    return true;
}

namespace {

char Lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool Match(const char* n, const char* p) {
    // Iterative wildcard match with one backtrack point.
    const char* star = nullptr;
    const char* resume = nullptr;
    while (*n != '\0') {
        if (*p == '*') {
            star = p++;
            resume = n;
        } else if (*p == '?' || (*p != '\0' && Lower(*p) == Lower(*n))) {
            ++p;
            ++n;
        } else if (star != nullptr) {
            p = star + 1;
            n = ++resume;
        } else {
            return false;
        }
    }
    while (*p == '*') ++p;
    return *p == '\0';
}

}  // namespace

bool MatchesPattern(const std::string& name, const std::string& pattern) { return Match(name.c_str(), pattern.c_str()); }

std::vector<std::string> ListFiles(const std::string& directory, const std::string& pattern) {
    std::vector<std::string> names;
    DIR* dir = ::opendir(directory.c_str());
    if (dir == nullptr) return names;
    while (const dirent* entry = ::readdir(dir)) {
        const std::string name = entry->d_name;
        if (name == "." || name == "..") continue;
        struct stat info {};
        if (::fstatat(::dirfd(dir), entry->d_name, &info, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISREG(info.st_mode)) {
            continue;
        }
        if (MatchesPattern(name, pattern)) names.push_back(name);
    }
    ::closedir(dir);
    std::sort(names.begin(), names.end());
    return names;
}

bool FileExists(const std::string& path) {
    struct stat info {};
    return ::lstat(path.c_str(), &info) == 0;
}

std::string JoinPath(const std::string& directory, const std::string& name) {
    if (directory.empty() || directory.back() == '/') return directory + name;
    return directory + "/" + name;
}

}  // namespace ordavel::platform::setup_files
