// Conversions between UTF-8, UTF-16 and the active code page.
#include "platform/win32/wide_text.h"

#include <windows.h>

namespace ordavel::platform::win32 {

namespace {

std::wstring Widen(UINT codePage, std::string_view text) {
    if (text.empty()) return {};
    const int size = static_cast<int>(text.size());
    const int wide = ::MultiByteToWideChar(codePage, 0, text.data(), size, nullptr, 0);
    if (wide <= 0) return {};
    std::wstring out(static_cast<std::size_t>(wide), L'\0');
    ::MultiByteToWideChar(codePage, 0, text.data(), size, out.data(), wide);
    return out;
}

std::string Narrow(UINT codePage, std::wstring_view text) {
    if (text.empty()) return {};
    const int size = static_cast<int>(text.size());
    const int narrow = ::WideCharToMultiByte(codePage, 0, text.data(), size, nullptr, 0, nullptr, nullptr);
    if (narrow <= 0) return {};
    std::string out(static_cast<std::size_t>(narrow), '\0');
    ::WideCharToMultiByte(codePage, 0, text.data(), size, out.data(), narrow, nullptr, nullptr);
    return out;
}

}  // namespace

std::wstring WideFromUtf8(std::string_view text) { return Widen(CP_UTF8, text); }
std::string Utf8FromWide(std::wstring_view text) { return Narrow(CP_UTF8, text); }
std::string AnsiFromUtf8(std::string_view text) { return Narrow(CP_ACP, WideFromUtf8(text)); }
std::string Utf8FromAnsi(std::string_view text) { return Utf8FromWide(Widen(CP_ACP, text)); }

}  // namespace ordavel::platform::win32
