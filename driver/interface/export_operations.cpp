// The exported operations: each fetches the session (creating it on first use) and forwards to
// it, to the scan engine or to the paper path.
#include "driver/interface/export_operations.h"

#include <cstring>

#include "driver/description/description_loader.h"
#include "driver/device/paper_path.h"
#include "driver/device/status_report.h"
#include "driver/device/transport.h"
#include "driver/interface/capabilities.h"
#include "driver/interface/driver_context.h"
#include "driver/interface/session.h"

namespace ordavel::interface {

namespace {

// The session cannot be created only when memory is exhausted. Operations that need it then
// report "out of memory" and fail; the ones that only copy engine state (parameters, scan
// information, hardware summary) and the paper-path operations go on without it, so a client
// can still read the status text.
Session* SessionOrReport(DriverContext& ctx) {
    Session* session = GetSession(ctx);
    if (session == nullptr) device::Report(ctx, "内存不足!");
    return session;
}

}  // namespace

int32_t ScanStart(DriverContext& ctx) {
    device::ExportScope scope(ctx);
    Session* session = SessionOrReport(ctx);
    return scope.Return(session ? session->Start(ctx) : 1);
}

int32_t ScanRead(DriverContext& ctx, uint8_t* buffer, int32_t size, int32_t* got) {
    device::ExportScope scope(ctx);
    Session* session = SessionOrReport(ctx);
    return scope.Return(session ? session->Read(ctx, buffer, size, got) : 1);
}

int32_t ScanStop(DriverContext& ctx) {
    device::ExportScope scope(ctx, device::ExportRole::CleanUp);
    Session* session = SessionOrReport(ctx);
    return scope.Return(session ? session->Stop(ctx) : 1);
}

int32_t ScanSetScanParams(DriverContext& ctx, const ScanRequest* params, ScanStatusCallback callback) {
    device::ExportScope scope(ctx);
    Session* session = SessionOrReport(ctx);
    return scope.Return(session ? session->SetParams(ctx, *params, callback) : 1);
}

int32_t ScanGetScanParams(DriverContext& ctx, ScanRequest* out) {
    GetSession(ctx);
    std::memcpy(out, &ctx.engine.request, sizeof *out);
    return 0;
}

int32_t ScanGetScanInfo(DriverContext& ctx, ScanInfo* out) {
    GetSession(ctx);
    static_assert(sizeof ctx.engine.info.statusText == sizeof ctx.record.messageText);
    std::memcpy(ctx.engine.info.statusText, ctx.record.messageText, sizeof ctx.engine.info.statusText);
    ctx.engine.info.statusText[sizeof ctx.engine.info.statusText - 1] = '\0';
    std::memcpy(out, &ctx.engine.info, sizeof *out);
    return 0;
}

int32_t ScanGetScanHardware(DriverContext& ctx, ScanHardware* out) {
    device::ExportScope scope(ctx);
    GetSession(ctx);
    out->pixelWidth = 0;
    if (!description::LoadScannerDescription(ctx)) return scope.Return(1);
    std::memcpy(out, &ctx.hardware, sizeof *out);
    return 0;
}

int32_t ScanGetCapability(DriverContext& ctx, int32_t id, const int32_t* input, int32_t* out, int32_t* count) {
    *count = 0;
    device::ExportScope scope(ctx);
    Session* session = SessionOrReport(ctx);
    return scope.Return(session ? GetCapability(ctx, *session, id, input, out, count) : 1);
}

int32_t ScanCalibration(DriverContext& ctx) {
    device::ExportScope scope(ctx);
    Session* session = SessionOrReport(ctx);
    return scope.Return(session ? session->Calibration(ctx) : 1);
}

int32_t ScanPaperEmpty(DriverContext& ctx, int32_t* empty) {
    device::ExportScope scope(ctx);
    GetSession(ctx);
    if (device::CheckPaperEmpty(ctx, *empty)) return scope.Return(0);
    // A failed paper-path export ends the client's batch: like every failed export it leaves
    // the device closed (the next scan's set-up opens it again).
    device::Close(ctx);
    return scope.Return(1);
}

int32_t ScanFeedPaper(DriverContext& ctx) {
    device::ExportScope scope(ctx);
    GetSession(ctx);
    if (device::FeedPaper(ctx, false)) return scope.Return(0);
    device::Close(ctx);
    return scope.Return(1);
}

void AttachLibrary(DriverContext& ctx, const void* module) {
    if (Session* session = GetSession(ctx)) session->LoadSettings(ctx, module);
}

void DetachLibrary(DriverContext& ctx) {
    GetSession(ctx);
    DestroySession(ctx);
}

}  // namespace ordavel::interface
