// Stop requests on Windows: a console break, close, log-off or shut-down signals an event, and a
// close or quit message for the thread's windows (its presence window included) counts as a stop
// too. The wait handles the thread's messages meanwhile, so its windows stay responsive.
#include "platform/stop_request.h"

#include <atomic>

#include <windows.h>

namespace ordavel::platform {

struct StopRequest::Native {
    HANDLE event = nullptr;
};

namespace {

// The console's handler gets no argument of its own, so the armed request's event is the one
// piece of process state here; one request is armed at a time.
std::atomic<HANDLE> armedEvent{nullptr};

BOOL WINAPI OnConsoleControl(DWORD type) {
    switch (type) {
        case CTRL_C_EVENT:
        case CTRL_BREAK_EVENT:
        case CTRL_CLOSE_EVENT:
        case CTRL_LOGOFF_EVENT:
        case CTRL_SHUTDOWN_EVENT:
            if (HANDLE event = armedEvent.load()) {
                ::SetEvent(event);
                return TRUE;
            }
            return FALSE;
        default:
            return FALSE;
    }
}

bool IsStopMessage(UINT message) { return message == WM_QUIT || message == WM_CLOSE || message == WM_ENDSESSION; }

}  // namespace

StopRequest::StopRequest() : native_(std::make_unique<Native>()) {
    native_->event = ::CreateEventA(nullptr, TRUE, FALSE, nullptr);
    armedEvent.store(native_->event);
    ::SetConsoleCtrlHandler(&OnConsoleControl, TRUE);
}

StopRequest::~StopRequest() {
    ::SetConsoleCtrlHandler(&OnConsoleControl, FALSE);
    armedEvent.store(nullptr);
    if (native_->event != nullptr) ::CloseHandle(native_->event);
}

bool StopRequest::waitFor(uint32_t milliseconds) {
    if (requested_) return true;
    const DWORD start = ::GetTickCount();
    for (;;) {
        MSG message;
        while (::PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
            if (IsStopMessage(message.message)) {
                requested_ = true;
                return true;
            }
            ::TranslateMessage(&message);
            ::DispatchMessageA(&message);
        }
        const DWORD elapsed = ::GetTickCount() - start;  // wraps like the tick count itself
        if (elapsed >= milliseconds) return false;
        const DWORD woken = ::MsgWaitForMultipleObjects(1, &native_->event, FALSE, milliseconds - elapsed, QS_ALLINPUT);
        if (woken == WAIT_OBJECT_0) {
            requested_ = true;
            return true;
        }
        if (woken == WAIT_TIMEOUT || woken == WAIT_FAILED) return false;
    }
}

}  // namespace ordavel::platform
