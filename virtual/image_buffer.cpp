// The image buffer as a ring over the largest memory size.
#include "virtual/image_buffer.h"

#include <algorithm>
#include <cstring>

namespace ordavel::virtual_scanner {

void ImageBuffer::setLarge(bool large) {
    const std::size_t wanted = large ? kLarge : kSmall;
    if (wanted == capacity_) return;
    // Re-seat the held bytes at the ring start so the smaller ring stays contiguous.
    std::vector<uint8_t> held(std::min(size_, wanted));
    pop(held);
    capacity_ = wanted;
    clear();
    push(held);
}

uint8_t ImageBuffer::counterUnits() const { return static_cast<uint8_t>(std::min<std::size_t>(255, units())); }

bool ImageBuffer::push(std::span<const uint8_t> bytes) {
    if (bytes.size() > freeSpace()) return false;
    std::size_t tail = (head_ + size_) % capacity_;
    std::size_t done = 0;
    while (done < bytes.size()) {
        const std::size_t n = std::min(bytes.size() - done, capacity_ - tail);
        std::memcpy(storage_.data() + tail, bytes.data() + done, n);
        done += n;
        tail = (tail + n) % capacity_;
    }
    size_ += bytes.size();
    return true;
}

std::size_t ImageBuffer::pop(std::span<uint8_t> out) {
    const std::size_t total = std::min(out.size(), size_);
    std::size_t done = 0;
    while (done < total) {
        const std::size_t n = std::min(total - done, capacity_ - head_);
        std::memcpy(out.data() + done, storage_.data() + head_, n);
        done += n;
        head_ = (head_ + n) % capacity_;
    }
    size_ -= total;
    if (size_ == 0) head_ = 0;
    return total;
}

}  // namespace ordavel::virtual_scanner
