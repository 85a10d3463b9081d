// Exclusive creation under a unique name.
#include "platform/win32/unique_file.h"

#include <cstdio>
#include <random>

#include "platform/temporary_names.h"
#include "platform/win32/file_handle.h"

namespace ordavel::platform::win32 {

HANDLE CreateUniqueFile(const std::string& stem, DWORD shareMode, std::string& created) {
    static constexpr char kAlphabet[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    std::random_device seed;
    std::mt19937 random(seed() ^ ::GetCurrentProcessId() ^ ::GetTickCount());
    std::uniform_int_distribution<std::size_t> pick(0, sizeof kAlphabet - 2);
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string name = stem;
        for (std::size_t i = 0; i < kTemporaryUniqueChars; ++i) name += kAlphabet[pick(random)];
        const HANDLE file = ::CreateFileA(name.c_str(), GENERIC_READ | GENERIC_WRITE, shareMode, nullptr, CREATE_NEW,
                                          FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file != INVALID_HANDLE_VALUE) {
            created = std::move(name);
            return file;
        }
        if (::GetLastError() != ERROR_FILE_EXISTS && ::GetLastError() != ERROR_ALREADY_EXISTS) break;
    }
    return INVALID_HANDLE_VALUE;
}

std::FILE* StreamOfHandle(HANDLE handle, const char* mode) {
    const int fd = DescriptorOfHandle(handle);
    if (fd < 0) return nullptr;
    std::FILE* stream = ::_fdopen(fd, mode);
    if (stream == nullptr) CloseDescriptor(fd);
    return stream;
}

}  // namespace ordavel::platform::win32
