// The session: construction with the offered lists, get-or-create and destruction.
#include "driver/interface/session.h"

#include <new>

#include "driver/description/description_loader.h"
#include "driver/interface/driver_context.h"
#include "driver/interface/read_request.h"
#include "driver/interface/scan_settings.h"

namespace ordavel::interface {

Session::Session(DriverContext& ctx) {
    carry.pendingLine.assign(kPendingLineBytes, 0);
    // As the hardware query does: the first word of a scratch summary is cleared and the
    // description loaded; only its status text (if it fails) remains.
    description::LoadScannerDescription(ctx);
    horizontalResolutions = {200, 300};
    verticalResolutions = {200, 300};
    pixelTypes.push_back({0, {1}});
    pixelTypes.push_back({1, {8}});
}

Session::~Session() = default;

bool Session::LoadSettings(DriverContext& ctx, const void* module) {
    moduleHandle = module;
    return LoadScanSettings(ctx);
}

const PixelTypeEntry* Session::findPixelType(int32_t type) const {
    for (const auto& entry : pixelTypes) {
        if (entry.type == type) return &entry;
    }
    return nullptr;
}

Session* GetSession(DriverContext& ctx) {
    if (!ctx.session) {
        // Creation fails only when memory runs out; the exports then fail (see
        // export_operations.cpp) instead of letting the exception reach the client.
        try {
            ctx.session = std::make_unique<Session>(ctx);
        } catch (const std::bad_alloc&) {
            return nullptr;
        }
    }
    return ctx.session.get();
}

void DestroySession(DriverContext& ctx) {
    ctx.session.reset();
}

}  // namespace ordavel::interface
