// Finding this code's own module by an address inside it.
#include "platform/win32/own_module.h"

namespace ordavel::platform::win32 {

HMODULE OwnModule() {
    HMODULE module = nullptr;
    ::GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                         reinterpret_cast<LPCWSTR>(&OwnModule), &module);
    return module;
}

}  // namespace ordavel::platform::win32
