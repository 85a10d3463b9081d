// The eleven exported operations on a given driver context, and the library's load and unload
// steps. The extern "C" exports forward here with the process-wide context; tests call these
// on fresh contexts.
#pragma once

#include <cstdint>

#include "ordavel.h"

namespace ordavel {
class DriverContext;
}

namespace ordavel::interface {

int32_t ScanStart(DriverContext& ctx);
int32_t ScanRead(DriverContext& ctx, uint8_t* buffer, int32_t size, int32_t* got);
int32_t ScanStop(DriverContext& ctx);
int32_t ScanSetScanParams(DriverContext& ctx, const ScanRequest* params, ScanStatusCallback callback);
int32_t ScanGetScanParams(DriverContext& ctx, ScanRequest* out);
int32_t ScanGetScanInfo(DriverContext& ctx, ScanInfo* out);
int32_t ScanGetScanHardware(DriverContext& ctx, ScanHardware* out);
int32_t ScanGetCapability(DriverContext& ctx, int32_t id, const int32_t* input, int32_t* out, int32_t* count);
int32_t ScanCalibration(DriverContext& ctx);
int32_t ScanPaperEmpty(DriverContext& ctx, int32_t* empty);
int32_t ScanFeedPaper(DriverContext& ctx);

// Process attach: get or create the session (which loads the description once), record the
// module handle and read "Mirt.ini".
void AttachLibrary(DriverContext& ctx, const void* module);
// Process detach: get the session (creating it if absent) and destroy it.
void DetachLibrary(DriverContext& ctx);

}  // namespace ordavel::interface
