// The two exported functions over the library's one context. Nothing thrown inside may cross
// the C boundary: a failure there (out of memory) becomes a result code.
#include <new>

#include "client/monitor_handshake.h"
#include "client/pimlet_context.h"
#include "client/scan_to_file.h"
#include "pimlet.h"

namespace {

int32_t ProgressCallback(int32_t kind);

// Created on first use, destroyed (freeing the driver library) when this library is unloaded.
mirt::client::PimletContext& Context() {
    static mirt::client::PimletContext context(&ProgressCallback);
    return context;
}

int32_t ProgressCallback(int32_t kind) { return Context().onProgress(kind); }

// What a call that could not finish reports: the driver's parameters could not be handled.
constexpr int kInternalFailure = PIMLET_DRIVER_PARAMS;

}  // namespace

extern "C" PIMLET_API int PIMLET_CALL ScanToFile(const PimletAdjustments* adjust, const PimletScanRequest* request,
                                                 const char* directory, const char* prefix, uint32_t* pagesOut,
                                                 int singleSheet) {
    try {
        return mirt::client::ScanToFile(Context(), adjust, request, directory, prefix, pagesOut, singleSheet);
    } catch (...) {
        // The scan cannot go on; the monitor must not be left believing it does.
        try {
            mirt::client::SetScanStart(mirt::client::kScanIdle);
        } catch (...) {
        }
        return kInternalFailure;
    }
}

extern "C" PIMLET_API int PIMLET_CALL GetPaperLoaded(void) {
    try {
        return mirt::client::GetPaperLoaded();
    } catch (...) {
        return 0;
    }
}
