// The status-message path: format, store in the device record, tell the client; the first
// failure of an export kept for the client to read.
#include "driver/device/status_report.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "driver/interface/driver_context.h"
#include "platform/status_text.h"

namespace ordavel::device {

namespace {

// The text in the encoding the client's system shows, cut on a character boundary.
void StoreText(char (&target)[kMessageTextSize], const char* text, bool utf8) {
    constexpr std::size_t kLimit = kMessageTextSize - 1;
    const std::string encoded = utf8 ? platform::CutUtf8StatusText(text, kLimit) : platform::EncodeStatusText(text, kLimit);
    std::memset(target, 0, sizeof target);
    std::memcpy(target, encoded.data(), encoded.size());
}

bool Post(DriverContext& ctx, bool failure, const char* format, va_list args) {
    char formatted[1024];
    if (std::vsnprintf(formatted, sizeof formatted, format, args) < 0) formatted[0] = '\0';
    DeviceRecord& record = ctx.record;
    StoreText(record.messageText, formatted, ctx.utf8StatusTexts());
    if (failure && record.exportDepth > 0 && record.firstFailure[0] == '\0') {
        std::memcpy(record.firstFailure, record.messageText, sizeof record.firstFailure);
    }
    return CallStatusCallback(ctx, 0) != 0;
}

}  // namespace

bool Report(DriverContext& ctx, const char* format, ...) {
    va_list args;
    va_start(args, format);
    const bool answer = Post(ctx, true, format, args);
    va_end(args);
    return answer;
}

bool ReportProgress(DriverContext& ctx, const char* format, ...) {
    va_list args;
    va_start(args, format);
    const bool answer = Post(ctx, false, format, args);
    va_end(args);
    return answer;
}

void ForgetFailure(DriverContext& ctx) { ctx.record.firstFailure[0] = '\0'; }

int CallStatusCallback(DriverContext& ctx, int kind) {
    if (ctx.record.statusCallback == nullptr) return 0;
    return ctx.record.statusCallback(kind);
}

ExportScope::ExportScope(DriverContext& ctx) : ctx_(ctx), outermost_(ctx.record.exportDepth == 0) {
    ++ctx_.record.exportDepth;
    if (outermost_) ForgetFailure(ctx_);
}

ExportScope::~ExportScope() { --ctx_.record.exportDepth; }

int32_t ExportScope::Return(int32_t result) {
    constexpr int32_t kFailed = 1;
    DeviceRecord& record = ctx_.record;
    if (outermost_ && result == kFailed && record.firstFailure[0] != '\0') {
        std::memcpy(record.messageText, record.firstFailure, sizeof record.messageText);
    }
    return result;
}

}  // namespace ordavel::device
