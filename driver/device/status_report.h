// The status-message path: every layer reports its one text here. The text is formatted into
// the device record's 256-byte buffer (never cutting a character in half) and the client's
// status callback is called with kind 0.
#pragma once

namespace ordavel {
class DriverContext;
}

namespace ordavel::device {

// Returns true exactly when a callback is registered and returned nonzero.
bool Report(DriverContext& ctx, const char* format, ...) __attribute__((format(printf, 2, 3)));

// Calls the status callback with `kind` (1 = acquisition progress point); 0 without a callback.
int CallStatusCallback(DriverContext& ctx, int kind);

}  // namespace ordavel::device
