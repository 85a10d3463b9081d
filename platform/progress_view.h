// The small progress window a scan shows: a caption, a mode text, a bar and one button. On
// Windows it is the library's own dialog resource, created modeless without owner or dialog
// procedure; on POSIX one line on standard error, redrawn in place, and only when standard error
// is a terminal (otherwise it stays silent). The calls mirror a modeless dialog's so callers keep
// their order. Texts are UTF-8.
#pragma once

#include <memory>
#include <string>

namespace ordavel::platform {

class ProgressView {
public:
    ProgressView();
    ~ProgressView();
    ProgressView(const ProgressView&) = delete;
    ProgressView& operator=(const ProgressView&) = delete;

    // False when the window system refuses the window (the view then shows nothing).
    bool create();
    void destroy();
    void setCaption(const std::string& caption);
    void setText(const std::string& text);
    void setButtonText(const std::string& text);
    void setRange(int low, int high);
    void setStep(int step);
    void setPosition(int position);
    void show();
    void hide();
    void bringToTop();

    bool visible() const { return visible_; }
    int position() const { return position_; }
    const std::string& caption() const { return caption_; }

    // The system's part of the view (a dialog window, or the terminal's state).
    struct Native;

private:
    void draw();

    std::unique_ptr<Native> native_;
    bool created_ = false;
    bool visible_ = false;
    std::string caption_;
    std::string text_;
    int low_ = 0;
    int high_ = 100;
    int position_ = 0;
};

}  // namespace ordavel::platform
