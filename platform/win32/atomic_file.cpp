// Whole-file replacement and the clean-up of its stray temporaries, on Windows. A temporary is
// open without read sharing from its creation to its rename: the clean-up, which must open it for
// reading to remove it, cannot take a file someone is still writing.
#include "platform/atomic_file.h"

#include <algorithm>
#include <vector>

#include <windows.h>

#include "platform/temporary_names.h"
#include "platform/win32/unique_file.h"

namespace ordavel::platform {

namespace {

bool WriteAll(HANDLE file, std::string_view content) {
    while (!content.empty()) {
        const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(content.size(), 1u << 30));
        DWORD written = 0;
        if (::WriteFile(file, content.data(), chunk, &written, nullptr) == 0 || written == 0) return false;
        content.remove_prefix(written);
    }
    return true;
}

// Seconds since the entry's last write, from its directory entry.
long long AgeSeconds(const WIN32_FIND_DATAA& entry) {
    FILETIME now{};
    ::GetSystemTimeAsFileTime(&now);
    const auto ticks = [](const FILETIME& t) { return (static_cast<long long>(t.dwHighDateTime) << 32) | t.dwLowDateTime; };
    return (ticks(now) - ticks(entry.ftLastWriteTime)) / 10'000'000;  // FILETIME counts 100 ns
}

// Removes the temporary when nobody holds it open: opened without sharing and deleted on close.
bool RemoveWhenUnused(const std::string& path) {
    const HANDLE file = ::CreateFileA(path.c_str(), GENERIC_READ | DELETE, 0, nullptr, OPEN_EXISTING,
                                      FILE_FLAG_DELETE_ON_CLOSE | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    ::CloseHandle(file);
    return true;
}

}  // namespace

bool WriteFileAtomically(const std::string& path, std::string_view content) {
    std::string temporary;
    const HANDLE file = win32::CreateUniqueFile(path + ".", FILE_SHARE_DELETE, temporary);
    if (file == INVALID_HANDLE_VALUE) return false;
    bool ok = WriteAll(file, content) && ::FlushFileBuffers(file) != 0;
    // Renamed while still open (the handle shares deletion, which a rename needs), so the clean-up
    // never finds it unheld.
    ok = ok && ::MoveFileExA(temporary.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
    if (!ok) {
        FILE_DISPOSITION_INFO dispose{TRUE};
        ::SetFileInformationByHandle(file, FileDispositionInfo, &dispose, sizeof dispose);
    }
    ok = (::CloseHandle(file) != 0) && ok;
    return ok;
}

int RemoveStaleTemporaries(const std::string& directory, std::span<const std::string_view> atomicBases) {
    std::string prefix = directory;
    if (!prefix.empty() && prefix.back() != '\\' && prefix.back() != '/') prefix += '\\';
    WIN32_FIND_DATAA entry{};
    const HANDLE search = ::FindFirstFileA((prefix + "*").c_str(), &entry);
    if (search == INVALID_HANDLE_VALUE) return 0;
    std::vector<std::string> stale;
    do {
        constexpr DWORD kNotAFile = FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT;
        if ((entry.dwFileAttributes & kNotAFile) == 0 && IsLeftoverTemporaryName(entry.cFileName, atomicBases) &&
            AgeSeconds(entry) >= kStaleTemporarySeconds) {
            stale.emplace_back(entry.cFileName);
        }
    } while (::FindNextFileA(search, &entry) != 0);
    ::FindClose(search);
    int removed = 0;
    for (const std::string& name : stale) {
        if (RemoveWhenUnused(prefix + name)) ++removed;
    }
    return removed;
}

}  // namespace ordavel::platform
