// The status-message path: format, store in the device record, tell the client.
#include "driver/device/status_report.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "driver/interface/driver_context.h"

namespace ordavel::device {

namespace {

// Length of the longest prefix of `text` (at most `limit` bytes) that ends on a UTF-8 character
// boundary, so a cut never leaves half a character behind. A character has at most three
// continuation bytes; bytes that are not UTF-8 at all are cut at the limit rather than eating
// back into the message.
std::size_t Utf8SafeLength(const char* text, std::size_t length, std::size_t limit) {
    if (length <= limit) return length;
    std::size_t cut = limit;
    while (cut > 0 && limit - cut < 3 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80) --cut;
    if ((static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80) return limit;
    return cut;
}

}  // namespace

bool Report(DriverContext& ctx, const char* format, ...) {
    char formatted[1024];
    va_list args;
    va_start(args, format);
    int written = std::vsnprintf(formatted, sizeof formatted, format, args);
    va_end(args);
    std::size_t length = written < 0 ? 0 : std::strlen(formatted);
    length = Utf8SafeLength(formatted, length, kMessageTextSize - 1);

    std::memset(ctx.record.messageText, 0, sizeof ctx.record.messageText);
    std::memcpy(ctx.record.messageText, formatted, length);
    return CallStatusCallback(ctx, 0) != 0;
}

int CallStatusCallback(DriverContext& ctx, int kind) {
    if (ctx.record.statusCallback == nullptr) return 0;
    return ctx.record.statusCallback(kind);
}

}  // namespace ordavel::device
