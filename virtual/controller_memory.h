// The controller's table memory reached through registers 0x03 to 0x06: per colour a shading
// offset table and a shading gain table of 16-bit words, and a gamma table of 4096 bytes.
//
// Register 0x03 selects the table (bits 1:0: 0 offset, 1 gain, 2 gamma; bits 3:2 colour),
// 0x04/0x05 hold the word address (high byte first) and 0x06 is the data port: bytes go in
// high byte first, and the address advances after each whole word. Gamma entries are packed two
// to a word, so a sequential write of 4096 bytes fills entries 0 to 4095 in order. Writing an
// address register restarts at the high byte. Everything powers up as zeros.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

namespace ordavel::virtual_scanner {

class ControllerMemory {
public:
    static constexpr std::size_t kShadingWords = 16384;
    static constexpr std::size_t kGammaEntries = 4096;

    ControllerMemory();

    void select(uint8_t value) { select_ = value; }
    void setAddressHigh(uint8_t value);
    void setAddressLow(uint8_t value);
    uint8_t addressHigh() const { return static_cast<uint8_t>(address_ >> 8); }
    uint8_t addressLow() const { return static_cast<uint8_t>(address_ & 0xFF); }

    // Data port. False when the byte fell outside the selected table (it is dropped; a read
    // gives 0).
    bool write(uint8_t value);
    uint8_t read(bool& inside);

    const uint16_t* shadingOffsets(int colour) const { return offsets_[static_cast<std::size_t>(colour)].data(); }
    const uint16_t* shadingGains(int colour) const { return gains_[static_cast<std::size_t>(colour)].data(); }
    const uint8_t* gamma(int colour) const { return gamma_[static_cast<std::size_t>(colour)].data(); }

private:
    struct Cell {
        uint16_t* word = nullptr;  // a shading word (the phase picks its byte)
        uint8_t* entry = nullptr;  // a gamma entry
    };
    Cell locate();  // what the current address and phase point at; both null outside the table
    void advance();

    uint8_t select_ = 0;
    uint16_t address_ = 0;
    bool lowByte_ = false;
    std::array<std::vector<uint16_t>, 3> offsets_;
    std::array<std::vector<uint16_t>, 3> gains_;
    std::array<std::vector<uint8_t>, 3> gamma_;
};

}  // namespace ordavel::virtual_scanner
