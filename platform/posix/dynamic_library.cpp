// Run-time library loading through the dynamic linker.
#include "platform/dynamic_library.h"

#include <dlfcn.h>

namespace ordavel::platform {

DynamicLibrary::~DynamicLibrary() { unload(); }

bool DynamicLibrary::load(const std::string& path) {
    unload();
    handle_ = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle_ == nullptr) {
        const char* why = ::dlerror();
        error_ = why != nullptr ? why : "cannot load " + path;
        return false;
    }
    return true;
}

void DynamicLibrary::unload() {
    if (handle_ != nullptr) ::dlclose(handle_);
    handle_ = nullptr;
}

void* DynamicLibrary::symbol(const char* name) const {
    return handle_ != nullptr ? ::dlsym(handle_, name) : nullptr;
}

}  // namespace ordavel::platform
