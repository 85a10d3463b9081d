// The installer's dialog: created modally from the program's resources, it adds the About entry
// to its system menu, takes the program's icon and starts the worker while it initialises. The
// worker's requests arrive as messages sent to the dialog, so they run on the window's thread in
// the order sent while the worker waits for each; the OK command is posted.
#include "platform/installer_window.h"

#include <windows.h>

#include "platform/installer_window_resource.h"
#include "platform/win32/own_module.h"
#include "platform/win32/wide_text.h"

namespace ordavel::platform {

namespace {

// A request of the worker: lParam points at the task to run.
constexpr UINT kRunTask = WM_APP + 1;
// The pause between the OK command and the window's close.
constexpr UINT_PTR kCloseTimer = 1;

class DialogInstallerWindow final : public InstallerWindow {
public:
    WindowHandle handle() const override { return reinterpret_cast<WindowHandle>(dialog_); }

    void appendToLog(std::string_view text) override {
        const HWND log = ::GetDlgItem(dialog_, MIRT_INSTALLER_LOG);
        if (log == nullptr) return;
        // At the end, whatever the caret's place: the selection is moved there first.
        const int end = ::GetWindowTextLengthW(log);
        ::SendMessageW(log, EM_SETSEL, static_cast<WPARAM>(end), end);
        ::SendMessageW(log, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(win32::WideFromUtf8(text).c_str()));
    }

    void showMessageBox(std::string_view caption, std::string_view text) override {
        ::MessageBoxW(dialog_, win32::WideFromUtf8(text).c_str(), win32::WideFromUtf8(caption).c_str(), MB_OK);
    }

    void run(const std::function<void()>& started, uint32_t closeDelayMs) override {
        started_ = &started;
        closeDelayMs_ = closeDelayMs;
        ::DialogBoxParamW(win32::OwnModule(), MAKEINTRESOURCEW(MIRT_INSTALLER_DIALOG), nullptr, &DialogProc,
                          reinterpret_cast<LPARAM>(this));
        dialog_ = nullptr;
    }

    void send(const std::function<void()>& task) override {
        ::SendMessageW(dialog_, kRunTask, 0, reinterpret_cast<LPARAM>(&task));
    }

    void postOk() override { ::PostMessageW(dialog_, WM_COMMAND, IDOK, 0); }

private:
    static INT_PTR CALLBACK DialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
        if (message == WM_INITDIALOG) {
            ::SetWindowLongPtrW(dialog, GWLP_USERDATA, lParam);
            reinterpret_cast<DialogInstallerWindow*>(lParam)->initialise(dialog);
            return TRUE;
        }
        auto* self = reinterpret_cast<DialogInstallerWindow*>(::GetWindowLongPtrW(dialog, GWLP_USERDATA));
        return self != nullptr && self->handleMessage(message, wParam, lParam) ? TRUE : FALSE;
    }

    void initialise(HWND dialog) {
        dialog_ = dialog;
        if (const HMENU menu = ::GetSystemMenu(dialog, FALSE)) {
            ::AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
            ::AppendMenuW(menu, MF_STRING, MIRT_INSTALLER_ABOUT_COMMAND, win32::WideFromUtf8("关于(&A)...").c_str());
        }
        const HMODULE module = win32::OwnModule();
        const auto icon = [module](int size) {
            return ::LoadImageW(module, MAKEINTRESOURCEW(MIRT_INSTALLER_ICON), IMAGE_ICON, size, size, LR_SHARED);
        };
        ::SendMessageW(dialog, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon(::GetSystemMetrics(SM_CXICON))));
        ::SendMessageW(dialog, WM_SETICON, ICON_SMALL,
                       reinterpret_cast<LPARAM>(icon(::GetSystemMetrics(SM_CXSMICON))));
        (*started_)();
    }

    bool handleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
        switch (message) {
            case kRunTask:
                (*reinterpret_cast<const std::function<void()>*>(lParam))();
                return true;
            case WM_SYSCOMMAND:
                if ((wParam & 0xFFF0) != MIRT_INSTALLER_ABOUT_COMMAND) return false;
                ::DialogBoxParamW(win32::OwnModule(), MAKEINTRESOURCEW(MIRT_INSTALLER_ABOUT), dialog_, &AboutProc, 0);
                return true;
            case WM_TIMER:
                if (wParam != kCloseTimer) return false;
                ::KillTimer(dialog_, kCloseTimer);
                ::EndDialog(dialog_, IDOK);
                return true;
            case WM_COMMAND:
                // The pause is a timer, not a sleep, so the window still paints and answers.
                if (LOWORD(wParam) == IDOK) ::SetTimer(dialog_, kCloseTimer, closeDelayMs_, nullptr);
                // Cancel (Escape, the close box) is refused: the window closes itself once its
                // operation is over, and ending the program mid-operation could leave a device
                // half registered.
                return true;
            case WM_CLOSE:
                return true;
            default:
                return false;
        }
    }

    static INT_PTR CALLBACK AboutProc(HWND about, UINT message, WPARAM wParam, LPARAM) {
        if (message == WM_INITDIALOG) return TRUE;
        if (message == WM_COMMAND && (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL)) {
            ::EndDialog(about, LOWORD(wParam));
            return TRUE;
        }
        return FALSE;
    }

    HWND dialog_ = nullptr;
    const std::function<void()>* started_ = nullptr;
    uint32_t closeDelayMs_ = 0;
};

}  // namespace

std::unique_ptr<InstallerWindow> CreateInstallerWindow() { return std::make_unique<DialogInstallerWindow>(); }

}  // namespace ordavel::platform
