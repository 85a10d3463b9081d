// Status texts on Windows: GBK (code page 936), the encoding the system's Chinese texts are shown
// in, converted from the driver's UTF-8 through UTF-16 (MultiByteToWideChar,
// WideCharToMultiByte) one character at a time, so the limit never cuts a character.
#include "platform/status_text.h"

#include <windows.h>

#include "platform/win32/wide_text.h"

namespace ordavel::platform {

namespace {

constexpr UINT kGbk = 936;

// `text` of code page `codePage` in UTF-16; `valid` false (and nothing) where it is not text of it.
std::wstring Utf16(std::string_view text, UINT codePage, bool& valid) {
    valid = true;
    if (text.empty()) return {};
    const int count = ::MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, text.data(), static_cast<int>(text.size()),
                                            nullptr, 0);
    if (count <= 0) {
        valid = false;
        return {};
    }
    std::wstring wide(static_cast<std::size_t>(count), L'\0');
    ::MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, text.data(), static_cast<int>(text.size()), wide.data(), count);
    return wide;
}

// Text already in the system's code page: cut after the last whole character within the limit.
std::string CutEncoded(std::string_view text, std::size_t limit) {
    std::size_t end = 0;
    while (end < text.size()) {
        const std::size_t width = ::IsDBCSLeadByteEx(kGbk, static_cast<BYTE>(text[end])) ? 2 : 1;
        if (end + width > limit || end + width > text.size()) break;
        end += width;
    }
    return std::string(text.substr(0, end));
}

}  // namespace

std::string EncodeStatusText(std::string_view text, std::size_t limit) {
    text = WithoutIncompleteLastCharacter(text);
    bool valid = true;
    const std::wstring wide = Utf16(text, CP_UTF8, valid);
    if (!valid) return CutEncoded(text, limit);
    std::string encoded;
    for (std::size_t i = 0; i < wide.size();) {
        // A character outside the basic plane is a surrogate pair: two UTF-16 units, one character.
        const int units = (wide[i] >= 0xD800 && wide[i] <= 0xDBFF && i + 1 < wide.size()) ? 2 : 1;
        char bytes[8];
        const int length = ::WideCharToMultiByte(kGbk, 0, wide.data() + i, units, bytes, sizeof bytes, nullptr, nullptr);
        if (length <= 0 || encoded.size() + static_cast<std::size_t>(length) > limit) break;
        encoded.append(bytes, static_cast<std::size_t>(length));
        i += static_cast<std::size_t>(units);
    }
    return encoded;
}

std::string DecodeStatusText(std::string_view text) {
    bool valid = true;
    const std::wstring wide = Utf16(text, kGbk, valid);
    return valid ? win32::Utf8FromWide(wide) : std::string(text);
}

std::string_view StatusTextEncoding() { return "GBK"; }

}  // namespace ordavel::platform
