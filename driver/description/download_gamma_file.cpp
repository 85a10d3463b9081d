// Parsing a gamma file's three sections and sending each to the controller's table memory.
#include <array>

#include "driver/description/gamma_file_reader.h"
#include "driver/description/gamma_tables.h"
#include "driver/device/transport.h"
#include "driver/interface/driver_context.h"

namespace ordavel::description {

namespace {

// Controller memory select for the gamma table of a channel.
uint8_t GammaTableSelect(int channel) { return static_cast<uint8_t>(4 * channel + 2); }

constexpr uint8_t kMemoryDataPort = 0x06;

}  // namespace

bool DownloadGammaFile(DriverContext& ctx, std::FILE* file) {
    // Entries a file does not mention stay 0.
    std::array<uint8_t, kGammaChannels * kGammaEntries> tables{};
    if (!device::WriteRegister(ctx, 0x07, 0)) return false;
    for (int channel = 0; channel < kGammaChannels; ++channel) {
        std::span<uint8_t, kGammaEntries> table(tables.data() + channel * kGammaEntries, kGammaEntries);
        ReadGammaChannel(ctx, file, table);
        if (!device::WriteRegister(ctx, 0x03, GammaTableSelect(channel))) return false;
        if (!device::SendBlock(ctx, kMemoryDataPort, table)) return false;
    }
    return device::WriteRegister(ctx, 0x07, 0);
}

}  // namespace ordavel::description
