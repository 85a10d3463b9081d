// Message boxes of the system.
#include "platform/message_box.h"

#include <windows.h>

#include "platform/win32/wide_text.h"

namespace ordavel::platform {

void ShowErrorMessage(const std::string& caption, const std::string& text) {
    ::MessageBoxW(nullptr, win32::WideFromUtf8(text).c_str(), win32::WideFromUtf8(caption).c_str(),
                  MB_OK | MB_ICONERROR);
}

}  // namespace ordavel::platform
