// Looking at another program's windows from outside, as a test drives a windowed program: find a
// top-level window by its title, read a control's text and style, and close the message boxes
// on the desktop (the tests' watchdog). Texts are UTF-8; windows are plain handles.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace ordavel::platform::win32 {

using ProbedWindow = std::uintptr_t;  // 0: none

ProbedWindow FindTopWindow(const std::string& title);
bool WindowAlive(ProbedWindow window);
// The control's text, read with WM_GETTEXT (its caption when its thread is busy); nullopt when
// the window or control is gone.
std::optional<std::string> ControlText(ProbedWindow window, int controlId);
// The control's window style; nullopt when it is missing.
std::optional<uint32_t> ControlStyle(ProbedWindow window, int controlId);

// Closes every message box on the desktop (a dialog with a message text); returns each one as
// "caption: text".
std::vector<std::string> CloseMessageBoxes();

void SleepMs(uint32_t milliseconds);

// This program's arguments (without its name) in UTF-8, from the wide command line: the narrow
// ones would have passed through the active code page.
std::vector<std::string> Utf8Arguments();

// The style bits a test asks about, as the system defines them.
struct StyleBits {
    static const uint32_t visible, multiLine, readOnly, autoVScroll, vScroll;
};

}  // namespace ordavel::platform::win32
