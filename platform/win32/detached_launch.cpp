// Starting a program the way the desktop shell opens it.
#include "platform/detached_launch.h"

#include <windows.h>

#include <shellapi.h>

namespace ordavel::platform {

bool LaunchDetached(const std::string& program) {
    // The shell's "open" with no parameters and no working directory, shown normally; it
    // reports success as a value above 32.
    const HINSTANCE started = ::ShellExecuteA(nullptr, "open", program.c_str(), nullptr, nullptr, SW_SHOW);
    return reinterpret_cast<INT_PTR>(started) > 32;
}

}  // namespace ordavel::platform
