// A register image: one value per controller register (0x00 to 0x7F), built from the scanner
// description, adjusted by set-up and calibration, and sent to the chip in runs.
#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace ordavel::description {

inline constexpr int kRegisterCount = 128;
// Marker entry: leave this register alone when the image is written.
inline constexpr int32_t kUnwritten = 256;

class RegisterImage {
public:
    RegisterImage() { entries_.fill(0); }

    int32_t& operator[](int reg) { return entries_.at(static_cast<std::size_t>(reg)); }
    int32_t operator[](int reg) const { return entries_.at(static_cast<std::size_t>(reg)); }

    // 16-bit quantities occupy two consecutive registers, high byte first.
    void set16(int highReg, int32_t value) {
        (*this)[highReg] = value / 256;
        (*this)[highReg + 1] = value & 0xFF;
    }
    int32_t get16(int highReg) const { return (*this)[highReg] * 256 + (*this)[highReg + 1]; }

    bool isWritten(int reg) const { return (*this)[reg] != kUnwritten; }
    void markUnwritten(int reg) { (*this)[reg] = kUnwritten; }

    int32_t* data() { return entries_.data(); }
    const int32_t* data() const { return entries_.data(); }

    bool operator==(const RegisterImage&) const = default;

    // Sixteen registers a row in hex, "--" for unwritten entries; used in test failure messages.
    std::string dump() const;

private:
    std::array<int32_t, kRegisterCount> entries_;
};

}  // namespace ordavel::description
