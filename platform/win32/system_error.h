// Texts for the errors Windows reports, for the win32 implementations of the platform layer.
#pragma once

#include <string>

#include <windows.h>

namespace ordavel::platform::win32 {

// The system's own text for error `code` (GetLastError's value), without its line break.
std::string SystemErrorText(DWORD code);

// SystemErrorText of the calling thread's last error.
inline std::string LastErrorText() { return SystemErrorText(::GetLastError()); }

}  // namespace ordavel::platform::win32
