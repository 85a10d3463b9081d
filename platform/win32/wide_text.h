// Text at the Windows API boundary: the system's code still speaks UTF-8, Windows speaks UTF-16
// in its wide calls and the active code page in its narrow ones.
#pragma once

#include <string>
#include <string_view>

namespace ordavel::platform::win32 {

std::wstring WideFromUtf8(std::string_view text);
std::string Utf8FromWide(std::wstring_view text);
// Through the active code page (CP_ACP), for the narrow ("A") calls.
std::string AnsiFromUtf8(std::string_view text);
std::string Utf8FromAnsi(std::string_view text);

}  // namespace ordavel::platform::win32
