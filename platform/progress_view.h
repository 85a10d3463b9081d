// The small progress window a scan shows: a caption, a mode text, a bar and one button. Here it
// is one line on standard error, redrawn in place, and only when standard error is a terminal
// (otherwise it stays silent). The calls mirror a modeless dialog's so callers keep their order.
#pragma once

#include <string>

namespace ordavel::platform {

class ProgressView {
public:
    // A view that draws only when standard error is a terminal.
    ProgressView();
    // A view that draws on `terminal` when true, regardless of what standard error is.
    explicit ProgressView(bool terminal) : terminal_(terminal) {}
    ~ProgressView();
    ProgressView(const ProgressView&) = delete;
    ProgressView& operator=(const ProgressView&) = delete;

    // Creating a view cannot fail here; false stands for a window system that refuses it.
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
    void bringToTop() {}

    bool visible() const { return visible_; }
    int position() const { return position_; }
    const std::string& caption() const { return caption_; }

private:
    void draw();
    void erase();

    bool terminal_;
    bool created_ = false;
    bool visible_ = false;
    bool drawn_ = false;
    std::string caption_;
    std::string text_;
    int low_ = 0;
    int high_ = 100;
    int position_ = 0;
};

}  // namespace ordavel::platform
