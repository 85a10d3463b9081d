// The progress view as a redrawn line on a terminal.
#include "platform/progress_view.h"

#include <cstdio>

#include <unistd.h>

namespace ordavel::platform {

struct ProgressView::Native {
    bool terminal = false;
    bool drawn = false;

    void erase() {
        if (!terminal || !drawn) return;
        std::fprintf(stderr, "\r\033[K");
        std::fflush(stderr);
        drawn = false;
    }
};

ProgressView::ProgressView() : native_(std::make_unique<Native>()) {
    native_->terminal = ::isatty(STDERR_FILENO) == 1;
}

ProgressView::~ProgressView() { destroy(); }

bool ProgressView::create() {
    created_ = true;
    return true;
}

void ProgressView::destroy() {
    hide();
    created_ = false;
}

void ProgressView::setCaption(const std::string& caption) {
    caption_ = caption;
    draw();
}

void ProgressView::setText(const std::string& text) {
    text_ = text;
    draw();
}

void ProgressView::setButtonText(const std::string&) {}

void ProgressView::setRange(int low, int high) {
    low_ = low;
    high_ = high;
    draw();
}

void ProgressView::setStep(int) {}

void ProgressView::setPosition(int position) {
    if (position == position_ && native_->drawn) return;
    position_ = position;
    draw();
}

void ProgressView::show() {
    if (!created_) return;
    visible_ = true;
    draw();
}

void ProgressView::hide() {
    if (visible_) native_->erase();
    visible_ = false;
}

void ProgressView::bringToTop() {}

void ProgressView::draw() {
    if (!native_->terminal || !visible_) return;
    const int span = high_ - low_;
    const int percent = span > 0 ? (position_ - low_) * 100 / span : 0;
    std::fprintf(stderr, "\r\033[K%s  %s  %3d%%", caption_.c_str(), text_.c_str(), percent);
    std::fflush(stderr);
    native_->drawn = true;
}

}  // namespace ordavel::platform
