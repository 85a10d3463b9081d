// Run-time library loading on Windows: LoadLibraryA, GetProcAddress, FreeLibrary.
#include "platform/dynamic_library.h"

#include <windows.h>

#include "platform/win32/system_error.h"

namespace ordavel::platform {

DynamicLibrary::~DynamicLibrary() { unload(); }

bool DynamicLibrary::load(const std::string& path) {
    unload();
    handle_ = ::LoadLibraryA(path.c_str());
    if (handle_ == nullptr) {
        error_ = path + ": " + win32::LastErrorText();
        return false;
    }
    return true;
}

void DynamicLibrary::unload() {
    if (handle_ != nullptr) ::FreeLibrary(static_cast<HMODULE>(handle_));
    handle_ = nullptr;
}

void* DynamicLibrary::symbol(const char* name) const {
    if (handle_ == nullptr) return nullptr;
    return reinterpret_cast<void*>(::GetProcAddress(static_cast<HMODULE>(handle_), name));
}

}  // namespace ordavel::platform
