// The eleven exported functions: each forwards to its operation on the process-wide context.
// Nothing escapes to the client: a missing context or an unexpected exception fails the call.
#include "ordavel.h"

#include "driver/interface/driver_context.h"
#include "driver/interface/export_operations.h"
#include "driver/interface/library_entry.h"

namespace {

template <typename Operation>
int32_t Forward(Operation operation) {
    ordavel::DriverContext* ctx = ordavel::interface::ProcessContext();
    if (ctx == nullptr) return 1;
    try {
        return operation(*ctx);
    } catch (...) {
        return 1;
    }
}

}  // namespace

namespace op = ordavel::interface;
using ordavel::DriverContext;

extern "C" {

int32_t ORDAVEL_CALL ScanStart(void) {
    return Forward([](DriverContext& ctx) { return op::ScanStart(ctx); });
}

int32_t ORDAVEL_CALL ScanRead(uint8_t* buffer, int32_t size, int32_t* got) {
    return Forward([&](DriverContext& ctx) { return op::ScanRead(ctx, buffer, size, got); });
}

int32_t ORDAVEL_CALL ScanStop(void) {
    return Forward([](DriverContext& ctx) { return op::ScanStop(ctx); });
}

int32_t ORDAVEL_CALL ScanSetScanParams(const ScanRequest* params, ScanStatusCallback callback) {
    return Forward([&](DriverContext& ctx) { return op::ScanSetScanParams(ctx, params, callback); });
}

int32_t ORDAVEL_CALL ScanGetScanParams(ScanRequest* out) {
    return Forward([&](DriverContext& ctx) { return op::ScanGetScanParams(ctx, out); });
}

int32_t ORDAVEL_CALL ScanGetScanInfo(ScanInfo* out) {
    return Forward([&](DriverContext& ctx) { return op::ScanGetScanInfo(ctx, out); });
}

int32_t ORDAVEL_CALL ScanGetScanHardware(ScanHardware* out) {
    return Forward([&](DriverContext& ctx) { return op::ScanGetScanHardware(ctx, out); });
}

int32_t ORDAVEL_CALL ScanGetCapability(int32_t id, const int32_t* input, int32_t* out, int32_t* count) {
    return Forward([&](DriverContext& ctx) { return op::ScanGetCapability(ctx, id, input, out, count); });
}

int32_t ORDAVEL_CALL ScanCalibration(void) {
    return Forward([](DriverContext& ctx) { return op::ScanCalibration(ctx); });
}

int32_t ORDAVEL_CALL ScanPaperEmpty(int32_t* empty) {
    return Forward([&](DriverContext& ctx) { return op::ScanPaperEmpty(ctx, empty); });
}

int32_t ORDAVEL_CALL ScanFeedPaper(void) {
    return Forward([](DriverContext& ctx) { return op::ScanFeedPaper(ctx); });
}

}  // extern "C"
