// A one-line progress bar on a terminal (standard error); silent when not a terminal.
#pragma once

#include <string>

namespace mirt {

class ProgressBar {
public:
    explicit ProgressBar(bool enabled) : enabled_(enabled) {}
    // Redraws "<label> [#####.....]  42%" when the percentage or label changed.
    void show(const std::string& label, int percent);
    // Ends the line so that later output starts clean.
    void finish();

private:
    bool enabled_;
    bool drawn_ = false;
    int lastPercent_ = -1;
    std::string lastLabel_;
};

}  // namespace mirt
