// The image buffer DRAM between the scan engine and the data port: a byte queue of 512 KiB or
// 2 MiB (bit 6 of 0x42) whose fill the data counter reports in units of 1/256 of its size.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace ordavel::virtual_scanner {

class ImageBuffer {
public:
    static constexpr std::size_t kSmall = 512 * 1024;
    static constexpr std::size_t kLarge = 2 * 1024 * 1024;

    ImageBuffer() : storage_(kLarge) {}

    // Follows register 0x42; data already held stays (up to the new size).
    void setLarge(bool large);
    std::size_t capacity() const { return capacity_; }
    std::size_t unitBytes() const { return capacity_ / 256; }
    std::size_t size() const { return size_; }
    std::size_t freeSpace() const { return capacity_ - size_; }
    // Whole units held, as register 0x01 shows them (8 bits: at most 255).
    uint8_t counterUnits() const;
    std::size_t units() const { return size_ / unitBytes(); }

    void clear() { head_ = 0, size_ = 0; }
    // False, storing nothing, when the bytes do not fit.
    bool push(std::span<const uint8_t> bytes);
    // Moves up to out.size() bytes out; returns how many.
    std::size_t pop(std::span<uint8_t> out);

private:
    std::vector<uint8_t> storage_;
    std::size_t capacity_ = kSmall;
    std::size_t head_ = 0;  // index of the oldest byte in storage_
    std::size_t size_ = 0;
};

}  // namespace ordavel::virtual_scanner
