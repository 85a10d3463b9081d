// The device transport: opening the scanner among the listed devices, the framed raw write and
// read primitives, and the register, block and memory operations every other layer uses.
// Every operation returns true or false; a failing operation has already reported its text.
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "driver/description/register_image.h"

namespace ordavel {
class DriverContext;
}

namespace ordavel::device {

// Closes any open connection, then opens the first listed device whose vendor and device
// descriptions equal the given ones (case-insensitively).
bool Open(DriverContext& ctx, const std::u16string& vendor, const std::u16string& device);
// Frees the device list and releases the device; true when the release succeeded.
bool Close(DriverContext& ctx);
bool IsOpen(const DriverContext& ctx);

// Framed primitives (headers, 60-byte pieces, retries, the device lock around each attempt).
bool RawWrite(DriverContext& ctx, uint8_t address, std::span<const uint8_t> data, bool increment);
// One attempt of a raw write, for callers that must prepare the device again before a retry.
bool RawWriteOnce(DriverContext& ctx, uint8_t address, std::span<const uint8_t> data, bool increment);
// How often a raw transfer is attempted before it fails.
int RawTransferAttempts();
// `dataEnd` (may be null) is set when a read at address 0 returns zero bytes.
bool RawRead(DriverContext& ctx, uint8_t address, std::span<uint8_t> buffer, bool increment,
             int32_t* dataEnd);
// The same, telling how many bytes arrived (fewer than asked when the data port ran dry).
bool RawReadCounted(DriverContext& ctx, uint8_t address, std::span<uint8_t> buffer, bool increment,
                    int32_t* dataEnd, std::size_t& received);

bool WriteRegister(DriverContext& ctx, uint8_t reg, uint8_t value);
bool ReadRegister(DriverContext& ctx, uint8_t reg, uint8_t& value);
bool SendBlock(DriverContext& ctx, uint8_t address, std::span<const uint8_t> data);
bool ReadBlock(DriverContext& ctx, uint8_t address, std::span<uint8_t> buffer);
// Read block of image data from the data port, telling how many bytes the controller gave (the
// rest of `buffer` is white, 0xFF; none at all once the data has ended).
bool ReadImageData(DriverContext& ctx, std::span<uint8_t> buffer, std::size_t& received);
// Registers 7 to 127 in one transfer into `out` (entries 0 to 6 are 0).
bool ReadRegisterBlock(DriverContext& ctx, description::RegisterImage& out);

}  // namespace ordavel::device
