// Other programs' windows through the window manager: titles, control texts by WM_GETTEXT (the
// system carries the text across processes), styles, and message boxes closed by their OK.
#include "platform/win32/window_probe.h"

#include <windows.h>

#include <cstdio>

#include <shellapi.h>

#include "platform/win32/wide_text.h"

namespace ordavel::platform::win32 {

namespace {

HWND AsWindow(ProbedWindow window) { return reinterpret_cast<HWND>(window); }

// A message box's text control has this identifier on every system that draws them.
constexpr int kMessageBoxText = 0xFFFF;

// The window's text by WM_GETTEXT, which the system carries across processes but which needs the
// owning thread to answer; a thread busy elsewhere does not, and then the window's own caption is
// read without a message, which is what a static or button shows. A window can go while its
// thread is waited for: the read then says nothing (nullopt), never an empty text it did not have.
std::optional<std::string> TextOf(HWND window) {
    DWORD_PTR length = 0;
    if (::SendMessageTimeoutW(window, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, 200, &length) != 0) {
        std::wstring text(length + 1, L'\0');
        DWORD_PTR got = 0;
        if (::SendMessageTimeoutW(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()),
                                  SMTO_ABORTIFHUNG, 200, &got) != 0) {
            text.resize(got);
            return Utf8FromWide(text);
        }
    }
    wchar_t caption[1024] = {};
    const int got = ::InternalGetWindowText(window, caption, 1024);
    // Asked after the read: a handle that went before or during it reads as empty.
    if (!::IsWindow(window)) return std::nullopt;
    return Utf8FromWide(std::wstring_view(caption, static_cast<std::size_t>(got)));
}

BOOL CALLBACK CollectMessageBox(HWND window, LPARAM found) {
    wchar_t className[16] = {};
    ::GetClassNameW(window, className, 16);
    if (std::wstring_view(className) == L"#32770" && ::IsWindowVisible(window) &&
        ::GetDlgItem(window, kMessageBoxText) != nullptr) {
        reinterpret_cast<std::vector<HWND>*>(found)->push_back(window);
    }
    return TRUE;
}

}  // namespace

const uint32_t StyleBits::visible = WS_VISIBLE;
const uint32_t StyleBits::multiLine = ES_MULTILINE;
const uint32_t StyleBits::readOnly = ES_READONLY;
const uint32_t StyleBits::autoVScroll = ES_AUTOVSCROLL;
const uint32_t StyleBits::vScroll = WS_VSCROLL;

ProbedWindow FindTopWindow(const std::string& title) {
    return reinterpret_cast<ProbedWindow>(::FindWindowW(nullptr, WideFromUtf8(title).c_str()));
}

bool WindowAlive(ProbedWindow window) { return window != 0 && ::IsWindow(AsWindow(window)); }

std::optional<std::string> ControlText(ProbedWindow window, int controlId) {
    const HWND control = ::GetDlgItem(AsWindow(window), controlId);
    if (control == nullptr) return std::nullopt;
    return TextOf(control);
}

std::optional<uint32_t> ControlStyle(ProbedWindow window, int controlId) {
    const HWND control = ::GetDlgItem(AsWindow(window), controlId);
    if (control == nullptr) return std::nullopt;
    return static_cast<uint32_t>(::GetWindowLongW(control, GWL_STYLE));
}

std::vector<std::string> CloseMessageBoxes() {
    std::vector<HWND> boxes;
    ::EnumWindows(&CollectMessageBox, reinterpret_cast<LPARAM>(&boxes));
    std::vector<std::string> closed;
    for (const HWND box : boxes) {
        const auto caption = TextOf(box);
        const auto text = TextOf(::GetDlgItem(box, kMessageBoxText));
        closed.push_back(caption.value_or("") + ": " + text.value_or(""));
        ::PostMessageW(box, WM_COMMAND, IDOK, 0);
    }
    return closed;
}

void SleepMs(uint32_t milliseconds) { ::Sleep(milliseconds); }

std::vector<std::string> Utf8Arguments() {
    int count = 0;
    LPWSTR* wide = ::CommandLineToArgvW(::GetCommandLineW(), &count);
    std::vector<std::string> arguments;
    for (int i = 1; wide != nullptr && i < count; ++i) arguments.push_back(Utf8FromWide(wide[i]));
    if (wide != nullptr) ::LocalFree(wide);
    return arguments;
}

}  // namespace ordavel::platform::win32
