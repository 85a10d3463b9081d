// Profile ("INI") files on Windows, through the system's own profile functions:
// GetPrivateProfileStringA for single keys, GetPrivateProfileSectionNamesA and
// GetPrivateProfileSectionA for a whole file read at once, WritePrivateProfileStringA for writes.
// The integer rule is the shared one applied to the string read (GetPrivateProfileIntA reads no
// sign, and the driver's settings may be negative). Writes stay atomic: the keys are written
// into a copy of the file, which then replaces it (MoveFileExA), so a reader never sees a file
// with only some of them.
#include "platform/profile.h"

#include <vector>

#include <windows.h>

#include "platform/win32/unique_file.h"

namespace ordavel::platform {

namespace {

enum class FileState { Regular, Missing, Unusable };

FileState StateOf(const std::string& path) {
    const DWORD attributes = ::GetFileAttributesA(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        const DWORD error = ::GetLastError();
        return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? FileState::Missing : FileState::Unusable;
    }
    return (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) == 0 ? FileState::Regular
                                                                                          : FileState::Unusable;
}

// Calls `read(buffer, size)` (a profile function returning the characters stored) with a buffer
// grown until the result fits: the functions say "too small" by returning size - 2.
template <typename Read>
std::vector<char> ReadGrowing(Read read) {
    std::vector<char> buffer(4096);
    for (;;) {
        const DWORD stored = read(buffer.data(), static_cast<DWORD>(buffer.size()));
        if (stored + 2 < buffer.size()) {
            buffer.resize(stored);
            return buffer;
        }
        buffer.resize(buffer.size() * 4);
    }
}

// The NUL-separated list a profile function returns, as strings.
std::vector<std::string> SplitList(const std::vector<char>& list) {
    std::vector<std::string> items;
    std::size_t start = 0;
    for (std::size_t i = 0; i < list.size(); ++i) {
        if (list[i] != '\0') continue;
        if (i > start) items.emplace_back(list.data() + start, i - start);
        start = i + 1;
    }
    if (start < list.size()) items.emplace_back(list.data() + start, list.size() - start);
    return items;
}

// A copy of `path` (or an empty file when it is missing) beside it, exclusively created.
std::string CopyBeside(const std::string& path, FileState state) {
    std::string copy;
    const HANDLE file = win32::CreateUniqueFile(path + ".", 0, copy);
    if (file == INVALID_HANDLE_VALUE) return {};
    ::CloseHandle(file);
    if (state == FileState::Regular && ::CopyFileA(path.c_str(), copy.c_str(), FALSE) == 0) {
        ::DeleteFileA(copy.c_str());
        return {};
    }
    return copy;
}

}  // namespace

std::optional<ProfileFile> ProfileFile::Load(const std::string& path) {
    if (StateOf(path) != FileState::Regular) return std::nullopt;
    const HANDLE probe = ::CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                       nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (probe == INVALID_HANDLE_VALUE) return std::nullopt;
    ::CloseHandle(probe);
    const auto sections = SplitList(ReadGrowing([&](char* buffer, DWORD size) {
        return ::GetPrivateProfileSectionNamesA(buffer, size, path.c_str());
    }));
    // The file as the profile functions see it, in the shared text form.
    std::string text;
    for (const auto& section : sections) {
        text += "[" + section + "]\n";
        const auto entries = SplitList(ReadGrowing([&](char* buffer, DWORD size) {
            return ::GetPrivateProfileSectionA(section.c_str(), buffer, size, path.c_str());
        }));
        for (const auto& entry : entries) text += entry + "\n";
    }
    return FromText(text);
}

std::optional<std::string> ReadProfileString(const std::string& path, std::string_view section,
                                             std::string_view key) {
    char value[kProfileValueLimit + 1] = {};
    const DWORD length = ::GetPrivateProfileStringA(std::string(section).c_str(), std::string(key).c_str(), "", value,
                                                    sizeof value, path.c_str());
    if (length == 0) return std::nullopt;
    return std::string(value, length);
}

bool WriteProfileStrings(const std::string& path, std::string_view section,
                         std::span<const std::pair<std::string, std::string>> entries) {
    const FileState state = StateOf(path);
    // A file that exists but cannot be read must not be replaced by one holding only these keys.
    if (state == FileState::Unusable) return false;
    const std::string copy = CopyBeside(path, state);
    if (copy.empty()) return false;
    const std::string sectionName(section);
    bool ok = true;
    for (const auto& [key, value] : entries) {
        ok = ok && ::WritePrivateProfileStringA(sectionName.c_str(), key.c_str(), value.c_str(), copy.c_str()) != 0;
    }
    // The profile functions may cache a file; this flushes what was written to the copy.
    ok = ok && (::WritePrivateProfileStringA(nullptr, nullptr, nullptr, copy.c_str()), true);
    ok = ok && ::MoveFileExA(copy.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
    if (!ok) ::DeleteFileA(copy.c_str());
    return ok;
}

}  // namespace ordavel::platform
