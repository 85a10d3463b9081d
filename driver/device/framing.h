// The controller's command framing: 4-byte headers, 60-byte write pieces packed into large
// bulk buffers, and the piece size of reads.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace ordavel::device::framing {

inline constexpr std::size_t kHeaderSize = 4;
inline constexpr std::size_t kMaxPieceData = 60;
// A new piece is started only while the buffer holds fewer bytes than this, so one buffer carries
// at most 1,023 full pieces (65,472 bytes) and always fits in 65,536.
inline constexpr std::size_t kWriteBufferStartLimit = 65'471;
inline constexpr std::size_t kWriteBufferCapacity = 65'536;
inline constexpr std::size_t kMaxReadPiece = 65'535;

enum class Operation : uint8_t {
    WriteFixed = 0x00,
    ReadFixed = 0x01,
    WriteIncrementing = 0x02,
    ReadIncrementing = 0x03,
};

inline Operation WriteOperation(bool increment) {
    return increment ? Operation::WriteIncrementing : Operation::WriteFixed;
}
inline Operation ReadOperation(bool increment) {
    return increment ? Operation::ReadIncrementing : Operation::ReadFixed;
}

// The address a piece names: fixed, or in the incrementing modes the start address plus the
// bytes of this transfer already moved, modulo 256.
uint8_t PieceAddress(uint8_t start, std::size_t offset, bool increment);

// Header of one piece: operation, address, count high byte, count low byte.
std::array<uint8_t, kHeaderSize> Header(Operation operation, uint8_t address, uint16_t count);

// Appends pieces (header + up to 60 data bytes) of `data` from `offset` on to `buffer` until the
// data run out or the buffer is full; returns the offset of the first byte not packed.
std::size_t PackWriteBuffer(std::vector<uint8_t>& buffer, uint8_t address,
                            std::span<const uint8_t> data, std::size_t offset, bool increment);

}  // namespace ordavel::device::framing
