// mirt-dialog-watchdog: closes every message box that appears, for test runs under wine, where
// nobody is there to press OK. Each closed box's caption and text go to standard error, so a
// test log shows what was said. Runs until it is ended.
#include <cstdio>

#include <windows.h>

namespace {

// A message box is a dialog whose text is the static control 0xFFFF; other dialogs (a progress
// dialog of the client, say) stay.
BOOL CALLBACK CloseIfMessageBox(HWND window, LPARAM) {
    char className[16] = {};
    if (::GetClassNameA(window, className, sizeof className) == 0 || lstrcmpA(className, "#32770") != 0) return TRUE;
    const HWND text = ::GetDlgItem(window, 0xFFFF);
    if (text == nullptr) return TRUE;
    char caption[256] = {}, message[1024] = {};
    ::GetWindowTextA(window, caption, sizeof caption);
    ::GetWindowTextA(text, message, sizeof message);
    std::fprintf(stderr, "dialog watchdog: closed \"%s\": %s\n", caption, message);
    std::fflush(stderr);
    // OK for boxes that have it, Cancel (which closing also means) for the rest.
    const int button = ::GetDlgItem(window, IDOK) != nullptr ? IDOK : IDCANCEL;
    ::PostMessageA(window, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED), 0);
    return TRUE;
}

}  // namespace

int main() {
    for (;;) {
        ::EnumWindows(CloseIfMessageBox, 0);
        ::Sleep(500);
    }
}
