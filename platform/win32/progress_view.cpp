// The progress view as the scan-to-file library's dialog resource, created modeless without
// owner and without a dialog procedure. The caller's thread runs no message loop while it
// scans, so the view paints what changed itself rather than waiting for a loop to do it, and
// answers the dialog's messages each time it is touched: otherwise the system would mark the
// window as not responding, it could not be moved, and another program asking for its texts
// (WM_GETTEXT, which the owning thread must answer) would wait in vain.
#include "platform/progress_view.h"

#include <windows.h>

#include <commctrl.h>

#include "platform/progress_view_resource.h"
#include "platform/win32/own_module.h"
#include "platform/win32/wide_text.h"

namespace ordavel::platform {

struct ProgressView::Native {
    HWND dialog = nullptr;

    LRESULT toBar(UINT message, WPARAM wParam, LPARAM lParam) const {
        return ::SendDlgItemMessageW(dialog, MIRT_PROGRESS_BAR, message, wParam, lParam);
    }

    // Answers what was asked of the dialog since the last look.
    void answerMessages() const {
        if (dialog == nullptr) return;
        // Only the dialog's own queued messages are taken (the caller's other windows keep
        // theirs for its own loop); messages sent from other threads and processes are answered
        // by any peek. Without a dialog procedure a press of OK or of the close box does nothing.
        MSG message;
        while (::PeekMessageW(&message, dialog, 0, 0, PM_REMOVE)) {
            if (!::IsDialogMessageW(dialog, &message)) {
                ::TranslateMessage(&message);
                ::DispatchMessageW(&message);
            }
        }
    }
};

ProgressView::ProgressView() : native_(std::make_unique<Native>()) {}

ProgressView::~ProgressView() { destroy(); }

bool ProgressView::create() {
    destroy();
    // The bar's window class comes from the common controls, registered on request.
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_PROGRESS_CLASS};
    ::InitCommonControlsEx(&controls);
    native_->dialog =
        ::CreateDialogParamW(win32::OwnModule(), MAKEINTRESOURCEW(MIRT_PROGRESS_DIALOG), nullptr, nullptr, 0);
    created_ = native_->dialog != nullptr;
    return created_;
}

void ProgressView::destroy() {
    // Questions already asked of the dialog get their answer rather than a vanished window.
    native_->answerMessages();
    if (native_->dialog != nullptr) ::DestroyWindow(native_->dialog);
    native_->dialog = nullptr;
    created_ = false;
    visible_ = false;
}

void ProgressView::setCaption(const std::string& caption) {
    caption_ = caption;
    if (native_->dialog != nullptr) ::SetWindowTextW(native_->dialog, win32::WideFromUtf8(caption).c_str());
    draw();
}

void ProgressView::setText(const std::string& text) {
    text_ = text;
    if (native_->dialog != nullptr) {
        ::SetDlgItemTextW(native_->dialog, MIRT_PROGRESS_TEXT, win32::WideFromUtf8(text).c_str());
    }
    draw();
}

void ProgressView::setButtonText(const std::string& text) {
    if (native_->dialog != nullptr) {
        ::SetDlgItemTextW(native_->dialog, MIRT_PROGRESS_BUTTON, win32::WideFromUtf8(text).c_str());
    }
    draw();
}

void ProgressView::setRange(int low, int high) {
    low_ = low;
    high_ = high;
    if (native_->dialog != nullptr) native_->toBar(PBM_SETRANGE32, static_cast<WPARAM>(low), high);
    draw();
}

void ProgressView::setStep(int step) {
    if (native_->dialog != nullptr) native_->toBar(PBM_SETSTEP, static_cast<WPARAM>(step), 0);
}

void ProgressView::setPosition(int position) {
    position_ = position;
    if (native_->dialog != nullptr) native_->toBar(PBM_SETPOS, static_cast<WPARAM>(position), 0);
    draw();
}

void ProgressView::show() {
    if (!created_) return;
    ::ShowWindow(native_->dialog, SW_SHOW);
    visible_ = true;
    draw();
}

void ProgressView::hide() {
    native_->answerMessages();
    if (native_->dialog != nullptr) ::ShowWindow(native_->dialog, SW_HIDE);
    visible_ = false;
}

void ProgressView::bringToTop() {
    if (native_->dialog != nullptr) ::BringWindowToTop(native_->dialog);
}

void ProgressView::draw() {
    native_->answerMessages();
    if (native_->dialog != nullptr && visible_) {
        ::RedrawWindow(native_->dialog, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
    }
}

}  // namespace ordavel::platform
