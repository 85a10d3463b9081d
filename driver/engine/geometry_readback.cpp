// Reading the effective scan geometry back from the chip's registers.
#include "driver/device/transport.h"
#include "driver/engine/scan_setup.h"
#include "driver/interface/driver_context.h"

namespace ordavel::engine {

namespace {

int32_t BitsOfDepthCode(int32_t depthBits) {
    switch (depthBits) {
        case 0x00: return 1;
        case 0x08: return 2;
        case 0x10: return 4;
        case 0x18: return 8;
        default: return 16;
    }
}

}  // namespace

void ApplyGeometryFromRegisters(DriverContext& ctx, const description::RegisterImage& block) {
    ScanParms& p = ctx.engine.parms;
    p.startpixel = block.get16(0x22);
    p.endpixel = block.get16(0x24);
    p.bitsperchannel = BitsOfDepthCode(block[0x09] & 0x38);
    p.hdpifactor = DividerFactor(block[0x09] & 7);
    p.hres = static_cast<int32_t>(ctx.description.Optical_Resolution / p.hdpifactor);

    // Mode 5 delivers its channels line by line like mode 1.
    int32_t mode = block[0x26] & 7;
    if (mode == 5) mode = 1;
    p.channelmode = mode;
    const int32_t channels = mode == 0 ? 3 : 1;

    p.pixelsperline = static_cast<int32_t>((p.endpixel - p.startpixel) / p.hdpifactor);
    const int32_t bytes = (p.bitsperchannel * p.pixelsperline * channels / 8) & ~1;
    // Single-channel lines hold whole pixels in the even byte count.
    if (channels == 1) p.pixelsperline = bytes * 8 / p.bitsperchannel;
    p.bytesperline = bytes + 2;
}

bool ReadBackScanGeometry(DriverContext& ctx) {
    description::RegisterImage block;
    if (!device::ReadRegisterBlock(ctx, block)) return false;
    ApplyGeometryFromRegisters(ctx, block);
    return true;
}

}  // namespace ordavel::engine
