// The status-message path: every layer reports its one text here. The text is formatted into
// the device record's 256-byte buffer (never cutting a character in half) and the client's
// status callback is called with kind 0.
//
// A failure is often followed by clean-up that reports texts of its own (the scan's finish, the
// feed that clears the paper path, the controller stop). The client must still read the cause:
// each export runs inside an ExportScope, which remembers the export's first failure text and,
// when the export fails, leaves that text as the one ScanGetScanInfo copies out. The callback
// still hears every text in order.
#pragma once

#include <cstdint>

namespace ordavel {
class DriverContext;
}

namespace ordavel::device {

// Texts that more than one layer reports.
inline constexpr const char* kCommunicationFailedText = "通信失败";
inline constexpr const char* kPaperJamText = "塞纸";

// Reports a failure's text (every text that is not progress). Returns true exactly when a
// callback is registered and returned nonzero.
bool Report(DriverContext& ctx, const char* format, ...) __attribute__((format(printf, 2, 3)));
// Reports progress ("scanning", "scan finished", ...): never the cause of a failure.
bool ReportProgress(DriverContext& ctx, const char* format, ...) __attribute__((format(printf, 2, 3)));
// A step recovered from the failure it reported (a retry succeeded): that text is no cause.
void ForgetFailure(DriverContext& ctx);

// Calls the status callback with `kind` (1 = acquisition progress point); 0 without a callback.
int CallStatusCallback(DriverContext& ctx, int kind);

// What an export is to the client's failure handling: an operation of its own, or the clean-up
// a client calls after a failure (ScanStop), whose own failures (a controller that is gone cannot
// be stopped either) must not replace the cause the client is about to read.
enum class ExportRole { Operation, CleanUp };

// Brackets one export. The outermost scope starts with no failure remembered; Return passes the
// export's result through and, when it is the failure result 1, restores the first failure text.
// A clean-up export after a failed export leaves that export's cause as the text to read.
// A scope opened by a callback that re-enters an export leaves the outer export's record alone.
class ExportScope {
public:
    explicit ExportScope(DriverContext& ctx, ExportRole role = ExportRole::Operation);
    ~ExportScope();
    ExportScope(const ExportScope&) = delete;
    ExportScope& operator=(const ExportScope&) = delete;

    int32_t Return(int32_t result);

private:
    DriverContext& ctx_;
    ExportRole role_;
    bool outermost_;
};

}  // namespace ordavel::device
