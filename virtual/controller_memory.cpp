// Table memory access.
#include "virtual/controller_memory.h"

namespace ordavel::virtual_scanner {

ControllerMemory::ControllerMemory() {
    for (int c = 0; c < 3; ++c) {
        offsets_[static_cast<std::size_t>(c)].assign(kShadingWords, 0);
        gains_[static_cast<std::size_t>(c)].assign(kShadingWords, 0);
        gamma_[static_cast<std::size_t>(c)].assign(kGammaEntries, 0);
    }
}

void ControllerMemory::setAddressHigh(uint8_t value) {
    address_ = static_cast<uint16_t>((address_ & 0x00FF) | value << 8);
    lowByte_ = false;
}

void ControllerMemory::setAddressLow(uint8_t value) {
    address_ = static_cast<uint16_t>((address_ & 0xFF00) | value);
    lowByte_ = false;
}

ControllerMemory::Cell ControllerMemory::locate() {
    const int table = select_ & 0x03;
    const int colour = (select_ >> 2) & 0x03;
    if (colour > 2) return {};
    const auto c = static_cast<std::size_t>(colour);
    if (table == 2) {
        const std::size_t entry = std::size_t{address_} * 2 + (lowByte_ ? 1 : 0);
        return entry < kGammaEntries ? Cell{nullptr, &gamma_[c][entry]} : Cell{};
    }
    if (table > 1 || address_ >= kShadingWords) return {};
    return Cell{&(table == 0 ? offsets_ : gains_)[c][address_], nullptr};
}

void ControllerMemory::advance() {
    if (lowByte_) ++address_;
    lowByte_ = !lowByte_;
}

bool ControllerMemory::write(uint8_t value) {
    const Cell cell = locate();
    if (cell.word) {
        *cell.word = lowByte_ ? static_cast<uint16_t>((*cell.word & 0xFF00) | value)
                              : static_cast<uint16_t>((*cell.word & 0x00FF) | value << 8);
    } else if (cell.entry) {
        *cell.entry = value;
    }
    advance();
    return cell.word || cell.entry;
}

uint8_t ControllerMemory::read(bool& inside) {
    const Cell cell = locate();
    inside = cell.word || cell.entry;
    uint8_t value = 0;
    if (cell.word) value = static_cast<uint8_t>(lowByte_ ? *cell.word & 0xFF : *cell.word >> 8);
    if (cell.entry) value = *cell.entry;
    advance();
    return value;
}

}  // namespace ordavel::virtual_scanner
