// Default row sampling and the resized page.
#include "virtual/page.h"

#include <algorithm>
#include <cmath>

namespace ordavel::virtual_scanner {

void Page::sampleRow(double y, double x0, double dx, int count, Channel channel, float* out) const {
    for (int i = 0; i < count; ++i) out[i] = reflectance(x0 + dx * i, y, channel);
}

uint8_t Page::grey(double x, double y, Channel channel) const {
    const float r = std::clamp(reflectance(x, y, channel), 0.0f, 1.0f);
    return static_cast<uint8_t>(std::lround(r * 255.0f));
}

ResizedPage::ResizedPage(std::shared_ptr<const Page> base, double heightInches, float blankReflectance)
    : Page(base->name(), base->widthInches(), heightInches, base->colour()),
      base_(std::move(base)),
      blank_(blankReflectance) {}

float ResizedPage::reflectance(double x, double y, Channel channel) const {
    return y < base_->heightInches() ? base_->reflectance(x, y, channel) : blank_;
}

void ResizedPage::sampleRow(double y, double x0, double dx, int count, Channel channel, float* out) const {
    if (y < base_->heightInches()) {
        base_->sampleRow(y, x0, dx, count, channel, out);
    } else {
        std::fill(out, out + count, blank_);
    }
}

}  // namespace ordavel::virtual_scanner
