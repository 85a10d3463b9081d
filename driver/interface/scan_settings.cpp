// Reading "Mirt.ini" into the current scan request.
#include "driver/interface/scan_settings.h"

#include <optional>
#include <string>

#include "driver/interface/driver_context.h"
#include "platform/profile.h"

namespace ordavel::interface {

namespace {

constexpr const char* kSettingsName = "Mirt.ini";
constexpr const char* kSection = "Scan Settings";

// The fixed part of every loaded request: bitmap line order, the 1680 x 2340 bed, 200 dpi both
// ways, interpolation on.
ScanRequest BaseRequest() {
    ScanRequest r{};
    r.lineOrder = 1;
    r.bedLeft = 0;
    r.bedTop = 0;
    r.bedRight = 1680;
    r.bedBottom = 2340;
    r.xResolution = 200;
    r.yResolution = 200;
    r.interpolate = 1;
    r.reserved2 = 1;
    return r;
}

}  // namespace

ScanRequest AbsentSettingsRequest() {
    ScanRequest r = BaseRequest();
    r.scanRectLeft = 0;
    r.scanRectTop = 0;
    r.scanRectRight = 1680;
    r.scanRectBottom = 2340;
    r.pixelType = 1;
    r.bitDepth = 8;
    r.res = 0;
    r.imageWidth = 300;
    r.imageHeight = 500;
    return r;
}

bool LoadScanSettings(DriverContext& ctx) {
    const std::string path = ctx.TempFilePath(kSettingsName);
    if (path.empty()) return false;
    // Only a readable regular file counts as present: a directory (or anything else) of that
    // name holds no settings, and the defaults apply as when the file is absent.
    const std::optional<platform::ProfileFile> file = platform::ProfileFile::Load(path);
    if (!file) {
        ctx.engine.request = AbsentSettingsRequest();
        return true;
    }

    auto key = [&](const char* name) {
        const std::optional<std::string> value = file->value(kSection, name);
        return value ? platform::ProfileIntFromText(*value) : 0;
    };
    ScanRequest r = BaseRequest();
    r.scanRectLeft = key("scanRect.Left");
    r.scanRectRight = key("scanRect.right");
    r.scanRectTop = key("scanRect.top");
    r.scanRectBottom = key("scanRect.bottom");
    r.res = key("res");
    r.pixelType = key("pixelType");
    r.bitDepth = key("bitDepth");
    // Keys absent from the file read 0. The request is not validated here; a scan refuses a
    // window outside the bed before anything moves.
    r.imageWidth = key(r.res != 0 ? "imageWidth300" : "imageWidth");
    r.imageHeight = key(r.res != 0 ? "imageHeight300" : "imageHeight");
    ctx.engine.request = r;
    return true;
}

}  // namespace ordavel::interface
