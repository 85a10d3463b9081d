// Presence as a named mutex of the session, for one holder at a time and released by the system
// when the holder's process ends, and a hidden top-level window titled with the name, which is
// what others look for with FindWindowA. The window is never shown; it belongs to the holding
// thread, whose waits handle its messages (StopRequest).
#include "platform/monitor_presence.h"

#include <windows.h>

#include "platform/win32/own_module.h"

namespace ordavel::platform {

struct Presence::Native {
    HANDLE mutex = nullptr;
    HWND window = nullptr;
};

namespace {

constexpr const char* kWindowClass = "MirtPresence";

LRESULT CALLBACK PresenceWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    // Closing the window would end the presence behind the holder's back; a close asked of it is
    // seen by the holder's wait instead.
    if (message == WM_CLOSE) return 0;
    return ::DefWindowProcA(window, message, wParam, lParam);
}

bool RegisterPresenceClass() {
    WNDCLASSEXA windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = &PresenceWindowProc;
    windowClass.hInstance = win32::OwnModule();
    windowClass.lpszClassName = kWindowClass;
    return ::RegisterClassExA(&windowClass) != 0 || ::GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

std::string MutexName(const std::string& name) { return "Local\\mirt-presence-" + name; }

// A name that can title a window and name a mutex of the session's namespace.
bool UsableName(const std::string& name) {
    return !name.empty() && name.size() < 200 && name.find('\\') == std::string::npos;
}

std::unique_ptr<Presence::Native> Acquire(const std::string& name, DWORD waitMs) {
    if (!UsableName(name) || !RegisterPresenceClass()) return nullptr;
    auto native = std::make_unique<Presence::Native>();
    native->mutex = ::CreateMutexA(nullptr, FALSE, MutexName(name).c_str());
    if (native->mutex == nullptr) return nullptr;
    // An abandoned mutex is one whose holder died: the presence is free again.
    const DWORD waited = ::WaitForSingleObject(native->mutex, waitMs);
    if (waited != WAIT_OBJECT_0 && waited != WAIT_ABANDONED) {
        ::CloseHandle(native->mutex);
        return nullptr;
    }
    // The mutex is recursive within a thread; a holder in this same thread already has the
    // window, and the presence is still one holder's.
    if (::FindWindowA(kWindowClass, name.c_str()) != nullptr) {
        ::ReleaseMutex(native->mutex);
        ::CloseHandle(native->mutex);
        return nullptr;
    }
    native->window = ::CreateWindowExA(0, kWindowClass, name.c_str(), WS_OVERLAPPED, 0, 0, 0, 0, nullptr, nullptr,
                                       win32::OwnModule(), nullptr);
    if (native->window == nullptr) {
        ::ReleaseMutex(native->mutex);
        ::CloseHandle(native->mutex);
        return nullptr;
    }
    return native;
}

}  // namespace

Presence::Presence(std::unique_ptr<Native> native) : native_(std::move(native)) {}

Presence::~Presence() {
    ::DestroyWindow(native_->window);
    ::ReleaseMutex(native_->mutex);
    ::CloseHandle(native_->mutex);
}

std::unique_ptr<Presence> Presence::Take(const std::string& name) {
    auto native = Acquire(name, 0);
    return native ? std::unique_ptr<Presence>(new Presence(std::move(native))) : nullptr;
}

std::unique_ptr<Presence> Presence::TakeWhenFree(const std::string& name) {
    auto native = Acquire(name, INFINITE);
    return native ? std::unique_ptr<Presence>(new Presence(std::move(native))) : nullptr;
}

bool PresenceHeld(const std::string& name) { return ::FindWindowA(nullptr, name.c_str()) != nullptr; }

}  // namespace ordavel::platform
