// The scan area in the terms a user gives it (a named page size, or an area in mm measured from
// the page's top-left corner as scanimage's -l -t -x -y are) and in the terms the driver takes it
// (a window on the bed in the scanner's 200 dpi pixels). Front ends share it so that a page size
// means the same window in every program.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "ordavel.h"

namespace mirt::page_area {

// The bed the driver takes whole: 8.4 x 11.7 inches in its own 200 dpi pixels.
inline constexpr int32_t kBedDpi = 200;
inline constexpr int32_t kBedPixelsWide = 1680;
inline constexpr int32_t kBedPixelsLong = 2340;
inline constexpr double kMmPerInch = 25.4;
inline constexpr double kBedWidthMm = kBedPixelsWide * kMmPerInch / kBedDpi;   // 213.36
inline constexpr double kBedLengthMm = kBedPixelsLong * kMmPerInch / kBedDpi;  // 297.18
// The paper guide centres every sheet on this bed column.
inline constexpr int32_t kGuideCentre = kBedPixelsWide / 2;
// The narrowest or shortest window worth asking the driver for.
inline constexpr int32_t kMinWindowPixels = 16;

int32_t MmToBedPixels(double mm);
double BedPixelsToMm(int32_t pixels);

// A window on the bed in bed pixels; right and bottom exclusive.
struct BedWindow {
    int32_t left = 0;
    int32_t top = 0;
    int32_t right = kBedPixelsWide;
    int32_t bottom = kBedPixelsLong;

    int32_t width() const { return right - left; }
    int32_t height() const { return bottom - top; }
    bool operator==(const BedWindow&) const = default;
};

// A sheet `widthMm` wide and `lengthMm` long as the paper guide places it: centred across the
// bed, its top edge on the first line. Clipped to the bed where the sheet is larger.
BedWindow CentredSheet(double widthMm, double lengthMm);

struct NamedPageSize {
    const char* name;         // as typed on a command line: "a4", "letter", ...
    const char* description;  // for help texts
    BedWindow window;
};

// "bed" (the whole bed, the default for documents), "a4", "letter", "ticket", "narrow" and
// "wide" (the scan-to-file client's two fixed windows, exactly as it scans them).
std::span<const NamedPageSize> NamedPageSizes();
// Case-insensitive; null when there is no page size of that name.
const NamedPageSize* FindPageSize(std::string_view name);
// "bed, a4, letter, ticket, narrow, wide", for messages and help.
std::string PageSizeNames();

// An area measured from the page's top-left corner, in mm; a negative width or height runs to
// the page's right or bottom edge.
struct AreaMm {
    double left = 0;
    double top = 0;
    double width = -1;
    double height = -1;
};

// The part of `page` that `area` covers. False with `error` set when the area does not lie on
// the page (negative offsets, an edge beyond the page, or less than the driver can scan).
bool AreaOnPage(const BedWindow& page, const AreaMm& area, BedWindow& out, std::string& error);

// Width and height made even, so the driver's 3/2 enlargement gives whole pixels and lines.
BedWindow EvenForEnlargement(const BedWindow& window);

// What the driver delivers for `window` at `resolution` (200, or 300 through the 3/2 enlargement).
int32_t OutputPixelsPerLine(const BedWindow& window, int32_t resolution);
int32_t OutputLines(const BedWindow& window, int32_t resolution);

// `current` with every field of a sheet scan of `window` filled: the whole bed as the frame, both
// resolutions 200, and at 300 the enlargement with its output size. The line order is kept.
ScanRequest DriverRequest(const ScanRequest& current, const BedWindow& window, bool lineart, int32_t resolution);

}  // namespace mirt::page_area
