// The controller's command framing: headers and write-buffer packing.
#include "driver/device/framing.h"

#include <algorithm>

namespace ordavel::device::framing {

uint8_t PieceAddress(uint8_t start, std::size_t offset, bool increment) {
    if (!increment) return start;
    return static_cast<uint8_t>((start + offset) & 0xFF);
}

std::array<uint8_t, kHeaderSize> Header(Operation operation, uint8_t address, uint16_t count) {
    return {static_cast<uint8_t>(operation), address, static_cast<uint8_t>(count >> 8),
            static_cast<uint8_t>(count & 0xFF)};
}

std::size_t PackWriteBuffer(std::vector<uint8_t>& buffer, uint8_t address,
                            std::span<const uint8_t> data, std::size_t offset, bool increment) {
    while (offset < data.size() && buffer.size() < kWriteBufferStartLimit) {
        const std::size_t count = std::min(kMaxPieceData, data.size() - offset);
        const auto header = Header(WriteOperation(increment), PieceAddress(address, offset, increment),
                                   static_cast<uint16_t>(count));
        buffer.insert(buffer.end(), header.begin(), header.end());
        const auto piece = data.subspan(offset, count);
        buffer.insert(buffer.end(), piece.begin(), piece.end());
        offset += count;
    }
    return offset;
}

}  // namespace ordavel::device::framing
