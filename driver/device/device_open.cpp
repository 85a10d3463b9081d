// Opening the scanner among the listed devices, and closing the connection.
#include <algorithm>

#include "driver/device/transport.h"
#include "driver/interface/driver_context.h"

namespace ordavel::device {

namespace {

// Simple one-to-one case folding of the alphabets device descriptions are written in: ASCII,
// Latin-1, Greek, Cyrillic and the full-width Latin letters. Descriptions come from USB string
// descriptors, which in practice stay within these; any other character compares exactly.
char16_t FoldCase(char16_t c) {
    if (c >= u'A' && c <= u'Z') return c + 0x20;
    if (c >= 0xC0 && c <= 0xDE && c != 0xD7) return c + 0x20;
    if (c >= 0x391 && c <= 0x3A9 && c != 0x3A2) return c + 0x20;
    if (c >= 0x410 && c <= 0x42F) return c + 0x20;
    if (c >= 0x400 && c <= 0x40F) return c + 0x50;
    if (c >= 0xFF21 && c <= 0xFF3A) return c + 0x20;
    return c;
}

bool EqualIgnoringCase(const std::u16string& a, const std::u16string& b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(),
                      [](char16_t x, char16_t y) { return FoldCase(x) == FoldCase(y); });
}

}  // namespace

bool Open(DriverContext& ctx, const std::u16string& vendor, const std::u16string& device) {
    Close(ctx);
    Connection& connection = ctx.connection;
    connection.instanceOpen = true;
    // The list stays with the connection until Close, like the names it hands out.
    connection.deviceList = ctx.devices().devices();
    for (const platform::DeviceInfo& info : connection.deviceList) {
        if (!EqualIgnoringCase(info.vendorDescription, vendor)) continue;
        if (!EqualIgnoringCase(info.deviceDescription, device)) continue;
        connection.pipe = ctx.devices().open(info.internalName);
        if (connection.pipe != nullptr) return true;
    }
    return false;
}

// Releasing a pipe cannot fail here, so closing (even with nothing open) succeeds.
bool Close(DriverContext& ctx) {
    Connection& connection = ctx.connection;
    connection.deviceList.clear();
    connection.pipe.reset();
    connection.instanceOpen = false;
    return true;
}

bool IsOpen(const DriverContext& ctx) { return ctx.connection.pipe != nullptr; }

}  // namespace ordavel::device
