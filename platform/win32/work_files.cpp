// Work files of the driver on Windows. The temporary directory is the user's own here, so no
// other user can plant entries in it; creation is still exclusive (CREATE_NEW), as a fresh file
// is meant.
#include "platform/work_files.h"

#include <windows.h>

#include "platform/win32/unique_file.h"

namespace ordavel::platform {

namespace {

bool IsMissing(DWORD error) { return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND; }

}  // namespace

std::FILE* CreateOwnerFile(const std::string& path) {
    if (path.empty() || !RemoveEntry(path)) return nullptr;
    const HANDLE file = ::CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                      CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return nullptr;
    return win32::StreamOfHandle(file, "w+b");
}

std::string UniqueTemporaryFile(const std::string& directory, const std::string& prefix) {
    std::string stem = directory;
    if (!stem.empty() && stem.back() != '\\' && stem.back() != '/') stem += '\\';
    std::string created;
    const HANDLE file = win32::CreateUniqueFile(stem + prefix, FILE_SHARE_READ | FILE_SHARE_WRITE, created);
    if (file == INVALID_HANDLE_VALUE) return {};
    ::CloseHandle(file);
    return created;
}

bool EntryExists(const std::string& path) {
    return !path.empty() && ::GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool SyncFile(const std::string& path) {
    const HANDLE file = ::CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                      OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    BY_HANDLE_FILE_INFORMATION info{};
    bool ok = ::GetFileInformationByHandle(file, &info) != 0 &&
              (info.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) == 0 &&
              ::FlushFileBuffers(file) != 0;
    ok = (::CloseHandle(file) != 0) && ok;
    return ok;
}

bool MoveIntoPlace(const std::string& from, const std::string& to) {
    return SyncFile(from) && ::MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
}

bool RemoveEntry(const std::string& path) {
    return ::DeleteFileA(path.c_str()) != 0 || IsMissing(::GetLastError());
}

}  // namespace ordavel::platform
