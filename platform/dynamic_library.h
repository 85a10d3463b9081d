// Loading a shared library at run time and looking up its exports.
#pragma once

#include <string>

namespace ordavel::platform {

// Where this project's libraries sit relative to its programs: "../lib" on POSIX (bin/ and lib/
// of an installed prefix, as of the build tree), beside them on Windows (where a program looks
// for its DLLs first).
#ifdef _WIN32
inline constexpr const char* kLibrariesFromPrograms = ".";
#else
inline constexpr const char* kLibrariesFromPrograms = "../lib";
#endif

class DynamicLibrary {
public:
    DynamicLibrary() = default;
    ~DynamicLibrary();
    DynamicLibrary(const DynamicLibrary&) = delete;
    DynamicLibrary& operator=(const DynamicLibrary&) = delete;

    // Loads the library; false (with error() telling why) when it cannot be loaded.
    bool load(const std::string& path);
    void unload();
    bool loaded() const { return handle_ != nullptr; }
    // The address of an exported symbol, or null.
    void* symbol(const char* name) const;
    const std::string& error() const { return error_; }

private:
    void* handle_ = nullptr;
    std::string error_;
};

}  // namespace ordavel::platform
