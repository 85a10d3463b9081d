// Fuzz bytes taken apart front to back: single values, counted pieces, the rest. Reading past
// the end gives zeros and empty pieces, so every input is a complete recipe.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

namespace ordavel::fuzz {

class FuzzInput {
public:
    FuzzInput(const uint8_t* data, std::size_t size) : bytes_(data, size) {}

    bool empty() const { return bytes_.empty(); }
    uint8_t byte() {
        if (bytes_.empty()) return 0;
        const uint8_t b = bytes_.front();
        bytes_ = bytes_.subspan(1);
        return b;
    }
    uint16_t word() { return static_cast<uint16_t>(byte() | (byte() << 8)); }
    // Up to `n` bytes.
    std::span<const uint8_t> bytes(std::size_t n) {
        const auto piece = bytes_.first(std::min(n, bytes_.size()));
        bytes_ = bytes_.subspan(piece.size());
        return piece;
    }
    std::span<const uint8_t> rest() { return bytes(bytes_.size()); }

    static std::string Text(std::span<const uint8_t> piece) { return std::string(piece.begin(), piece.end()); }

private:
    std::span<const uint8_t> bytes_;
};

}  // namespace ordavel::fuzz
