// The scan-settings file "Mirt.ini": read once when the library is loaded, it supplies the
// initial scan request (or documented defaults when it is absent).
#pragma once

#include "ordavel.h"

namespace ordavel {
class DriverContext;
}

namespace ordavel::interface {

// The request a library loaded without "Mirt.ini" starts with.
ScanRequest AbsentSettingsRequest();

// Reads "Mirt.ini" of the temporary directory into the current scan request. False (nothing
// changed) when the temporary directory is unknown or the file cannot be closed again.
bool LoadScanSettings(DriverContext& ctx);

}  // namespace ordavel::interface
