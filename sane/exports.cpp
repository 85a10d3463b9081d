// The SANE 1.0 entry points. They own the backend's one context, created by sane_mirt_init and
// destroyed by sane_mirt_exit; nothing escapes them as an exception.
#include <sane/sane.h>

#include <memory>
#include <new>

#include "platform/process.h"
#include "sane/backend.h"

#define MIRT_SANE_EXPORT extern "C" __attribute__((visibility("default")))

namespace {

using mirt::sane_backend::Backend;

constexpr SANE_Int kBuild = 1;
// The backend's one context, created by sane_mirt_init and destroyed by sane_mirt_exit.
std::unique_ptr<Backend> g_backend;

// The driver calls back without a context of its own; the context it reaches is the exports'.
int32_t DriverStatusCallback(int32_t kind) { return g_backend ? g_backend->onDriverStatus(kind) : 0; }

// The handle SANE hands back is the context itself: one scanner open at a time.
Backend* FromHandle(SANE_Handle handle) {
    return handle != nullptr && handle == g_backend.get() && g_backend->isOpen() ? g_backend.get() : nullptr;
}

template <typename F>
SANE_Status Guarded(F&& body) {
    try {
        return body();
    } catch (const std::bad_alloc&) {
        return SANE_STATUS_NO_MEM;
    } catch (...) {
        return SANE_STATUS_IO_ERROR;
    }
}

}  // namespace

MIRT_SANE_EXPORT SANE_Status sane_mirt_init(SANE_Int* version_code, SANE_Auth_Callback) {
    if (version_code != nullptr) *version_code = SANE_VERSION_CODE(SANE_CURRENT_MAJOR, 0, kBuild);
    return Guarded([] {
        g_backend = std::make_unique<Backend>(DriverStatusCallback);
        return g_backend->init(ordavel::platform::GetEnvironment("SANE_CONFIG_DIR"));
    });
}

MIRT_SANE_EXPORT void sane_mirt_exit(void) {
    if (g_backend) g_backend->close();
    g_backend.reset();
}

MIRT_SANE_EXPORT SANE_Status sane_mirt_get_devices(const SANE_Device*** device_list, SANE_Bool local_only) {
    if (!g_backend || device_list == nullptr) return SANE_STATUS_INVAL;
    return Guarded([&] { return g_backend->getDevices(device_list, local_only != SANE_FALSE); });
}

MIRT_SANE_EXPORT SANE_Status sane_mirt_open(SANE_String_Const name, SANE_Handle* handle) {
    if (!g_backend || handle == nullptr) return SANE_STATUS_INVAL;
    return Guarded([&] {
        const SANE_Status status = g_backend->open(name != nullptr ? name : "");
        *handle = status == SANE_STATUS_GOOD ? g_backend.get() : nullptr;
        return status;
    });
}

MIRT_SANE_EXPORT void sane_mirt_close(SANE_Handle handle) {
    if (Backend* b = FromHandle(handle)) b->close();
}

MIRT_SANE_EXPORT const SANE_Option_Descriptor* sane_mirt_get_option_descriptor(SANE_Handle handle, SANE_Int option) {
    Backend* b = FromHandle(handle);
    return b != nullptr ? b->descriptor(option) : nullptr;
}

MIRT_SANE_EXPORT SANE_Status sane_mirt_control_option(SANE_Handle handle, SANE_Int option, SANE_Action action,
                                                 void* value, SANE_Int* info) {
    Backend* b = FromHandle(handle);
    if (b == nullptr) return SANE_STATUS_INVAL;
    return Guarded([&] { return b->control(option, action, value, info); });
}

MIRT_SANE_EXPORT SANE_Status sane_mirt_get_parameters(SANE_Handle handle, SANE_Parameters* params) {
    Backend* b = FromHandle(handle);
    return b != nullptr ? b->parameters(params) : SANE_STATUS_INVAL;
}

MIRT_SANE_EXPORT SANE_Status sane_mirt_start(SANE_Handle handle) {
    Backend* b = FromHandle(handle);
    if (b == nullptr) return SANE_STATUS_INVAL;
    return Guarded([&] { return b->start(); });
}

MIRT_SANE_EXPORT SANE_Status sane_mirt_read(SANE_Handle handle, SANE_Byte* data, SANE_Int max_length, SANE_Int* length) {
    Backend* b = FromHandle(handle);
    if (b == nullptr) return SANE_STATUS_INVAL;
    return b->read(data, max_length, length);
}

MIRT_SANE_EXPORT void sane_mirt_cancel(SANE_Handle handle) {
    if (Backend* b = FromHandle(handle)) b->cancel();
}

// The frame is in memory once sane_start returns; there is no descriptor to wait on, and only
// the blocking mode every backend must offer.
MIRT_SANE_EXPORT SANE_Status sane_mirt_set_io_mode(SANE_Handle handle, SANE_Bool non_blocking) {
    if (FromHandle(handle) == nullptr) return SANE_STATUS_INVAL;
    return non_blocking != SANE_FALSE ? SANE_STATUS_UNSUPPORTED : SANE_STATUS_GOOD;
}

MIRT_SANE_EXPORT SANE_Status sane_mirt_get_select_fd(SANE_Handle, SANE_Int*) { return SANE_STATUS_UNSUPPORTED; }

MIRT_SANE_EXPORT SANE_String_Const sane_mirt_strstatus(SANE_Status status) {
    switch (status) {
        case SANE_STATUS_GOOD: return "Success";
        case SANE_STATUS_UNSUPPORTED: return "Operation not supported";
        case SANE_STATUS_CANCELLED: return "Operation was cancelled";
        case SANE_STATUS_DEVICE_BUSY: return "Device busy";
        case SANE_STATUS_INVAL: return "Invalid argument";
        case SANE_STATUS_EOF: return "End of file reached";
        case SANE_STATUS_JAMMED: return "Document feeder jammed";
        case SANE_STATUS_NO_DOCS: return "Document feeder out of documents";
        case SANE_STATUS_COVER_OPEN: return "Scanner cover is open";
        case SANE_STATUS_IO_ERROR: return "Error during device I/O";
        case SANE_STATUS_NO_MEM: return "Out of memory";
        case SANE_STATUS_ACCESS_DENIED: return "Access to resource has been denied";
        default: return "Unknown SANE status code";
    }
}
