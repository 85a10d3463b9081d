// Profile ("INI") files on POSIX: read and rewritten whole by the shared text rules, replaced
// atomically.
#include "platform/profile.h"

#include "platform/atomic_file.h"
#include "platform/profile_text.h"

#include <cerrno>
#include <fstream>
#include <iterator>

#include <sys/stat.h>

namespace ordavel::platform {

namespace {

enum class ReadResult { Read, Missing, Unreadable };

ReadResult ReadWholeFile(const std::string& path, std::string& content) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) {
        return errno == ENOENT ? ReadResult::Missing : ReadResult::Unreadable;
    }
    if (!S_ISREG(info.st_mode)) return ReadResult::Unreadable;
    std::ifstream in(path, std::ios::binary);
    if (!in) return ReadResult::Unreadable;
    content.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return in.bad() ? ReadResult::Unreadable : ReadResult::Read;
}

}  // namespace

std::optional<ProfileFile> ProfileFile::Load(const std::string& path) {
    std::string content;
    if (ReadWholeFile(path, content) != ReadResult::Read) return std::nullopt;
    return FromText(content);
}

std::optional<std::string> ReadProfileString(const std::string& path, std::string_view section,
                                             std::string_view key) {
    const auto file = ProfileFile::Load(path);
    if (!file) return std::nullopt;
    return file->value(section, key);
}

bool WriteProfileStrings(const std::string& path, std::string_view section,
                         std::span<const std::pair<std::string, std::string>> entries) {
    std::string content;
    const ReadResult read = ReadWholeFile(path, content);
    // A file that exists but cannot be read must not be replaced by one holding only these keys.
    if (read == ReadResult::Unreadable) return false;
    return WriteFileAtomically(path, ApplyProfileEntries(content, section, entries));
}

}  // namespace ordavel::platform
