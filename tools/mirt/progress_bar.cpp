// Terminal progress drawing.
#include "tools/mirt/progress_bar.h"

#include <algorithm>
#include <cstdio>

namespace mirt {

void ProgressBar::show(const std::string& label, int percent) {
    if (!enabled_) return;
    percent = std::clamp(percent, 0, 100);
    if (percent == lastPercent_ && label == lastLabel_) return;
    lastPercent_ = percent;
    lastLabel_ = label;
    constexpr int kWidth = 30;
    const int filled = percent * kWidth / 100;
    std::string bar(static_cast<std::size_t>(filled), '#');
    bar.append(static_cast<std::size_t>(kWidth - filled), '.');
    std::fprintf(stderr, "\r%s [%s] %3d%%", label.c_str(), bar.c_str(), percent);
    std::fflush(stderr);
    drawn_ = true;
}

void ProgressBar::finish() {
    if (!enabled_ || !drawn_) return;
    std::fputc('\n', stderr);
    drawn_ = false;
    lastPercent_ = -1;
    lastLabel_.clear();
}

}  // namespace mirt
