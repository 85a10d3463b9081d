// Page sizes, areas and the driver's window.
#include "tools/common/page_area.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cmath>
#include <cstdio>

namespace mirt::page_area {

namespace {

std::string Mm(double mm) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f mm", mm);
    return text;
}

bool SameName(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
           });
}

// Decided here: the ticket size is 90 x 200 mm, a little wider and longer than common admission
// and travel tickets (about 3.25 x 7 inches), so a ticket fed slightly off the guide's centre is
// still scanned whole; trimming then cuts the file to the ticket's own length.
constexpr double kTicketWidthMm = 90;
constexpr double kTicketLengthMm = 200;

std::array<NamedPageSize, 6> MakeNamedPageSizes() {
    return {{
        {"bed", "the whole bed, 213 x 297 mm (8.4 x 11.7 in)", BedWindow{}},
        {"a4", "A4, 210 x 297 mm", CentredSheet(210, 297)},
        // Letter is wider than the bed: the outer 0.05 inch of each side is not seen.
        {"letter", "US Letter, 216 x 279 mm (the bed's 213 mm of its width)", CentredSheet(215.9, 279.4)},
        {"ticket", "a ticket, 90 x 200 mm", CentredSheet(kTicketWidthMm, kTicketLengthMm)},
        // The scan-to-file client's fixed windows, as it asks for them (the narrow one sits six
        // bed pixels left of the guide's centre, and stays there so both programs scan alike).
        {"narrow", "the client's narrow window, 140 x 240 mm (5.5 x 9.46 in)", BedWindow{284, 0, 1384, 1892}},
        {"wide", "the client's wide window, 180 x 240 mm (7.1 x 9.46 in)", BedWindow{130, 0, 1550, 1892}},
    }};
}

}  // namespace

int32_t MmToBedPixels(double mm) { return static_cast<int32_t>(std::lround(mm * kBedDpi / kMmPerInch)); }

double BedPixelsToMm(int32_t pixels) { return pixels * kMmPerInch / kBedDpi; }

BedWindow CentredSheet(double widthMm, double lengthMm) {
    const int32_t width = std::clamp(MmToBedPixels(widthMm), kMinWindowPixels, kBedPixelsWide);
    const int32_t length = std::clamp(MmToBedPixels(lengthMm), kMinWindowPixels, kBedPixelsLong);
    BedWindow w;
    w.left = std::clamp(kGuideCentre - width / 2, 0, kBedPixelsWide - width);
    w.right = w.left + width;
    w.top = 0;
    w.bottom = length;
    return w;
}

std::span<const NamedPageSize> NamedPageSizes() {
    static const std::array<NamedPageSize, 6> sizes = MakeNamedPageSizes();
    return sizes;
}

const NamedPageSize* FindPageSize(std::string_view name) {
    for (const NamedPageSize& size : NamedPageSizes()) {
        if (SameName(size.name, name)) return &size;
    }
    return nullptr;
}

std::string PageSizeNames() {
    std::string names;
    for (const NamedPageSize& size : NamedPageSizes()) {
        if (!names.empty()) names += ", ";
        names += size.name;
    }
    return names;
}

bool AreaOnPage(const BedWindow& page, const AreaMm& area, BedWindow& out, std::string& error) {
    const double pageWidthMm = BedPixelsToMm(page.width());
    const double pageLengthMm = BedPixelsToMm(page.height());
    if (!std::isfinite(area.left) || !std::isfinite(area.top) || !std::isfinite(area.width) ||
        !std::isfinite(area.height)) {
        error = "the scan area must be given in numbers of mm";
        return false;
    }
    if (area.left < 0 || area.top < 0) {
        error = "the scan area's left and top offsets must not be negative";
        return false;
    }
    // Half a bed pixel of rounding is forgiven, so an area typed as the page's own size fits.
    constexpr double kSlackMm = kMmPerInch / kBedDpi / 2;
    const double right = area.width < 0 ? pageWidthMm : area.left + area.width;
    const double bottom = area.height < 0 ? pageLengthMm : area.top + area.height;
    if (right > pageWidthMm + kSlackMm || area.left >= pageWidthMm) {
        error = "the scan area reaches " + Mm(right) + " across, beyond the page's " + Mm(pageWidthMm);
        return false;
    }
    if (bottom > pageLengthMm + kSlackMm || area.top >= pageLengthMm) {
        error = "the scan area reaches " + Mm(bottom) + " down, beyond the page's " + Mm(pageLengthMm);
        return false;
    }
    out.left = page.left + MmToBedPixels(area.left);
    out.top = page.top + MmToBedPixels(area.top);
    out.right = std::min(page.right, page.left + MmToBedPixels(right));
    out.bottom = std::min(page.bottom, page.top + MmToBedPixels(bottom));
    if (out.width() < kMinWindowPixels || out.height() < kMinWindowPixels) {
        error = "the scan area is smaller than the " + Mm(BedPixelsToMm(kMinWindowPixels)) + " the scanner needs";
        return false;
    }
    return true;
}

BedWindow EvenForEnlargement(const BedWindow& window) {
    BedWindow w = window;
    w.right -= w.width() % 2;
    w.bottom -= w.height() % 2;
    return w;
}

int32_t OutputPixelsPerLine(const BedWindow& window, int32_t resolution) {
    return resolution == 300 ? window.width() * 3 / 2 : window.width();
}

int32_t OutputLines(const BedWindow& window, int32_t resolution) {
    return resolution == 300 ? window.height() * 3 / 2 : window.height();
}

ScanRequest DriverRequest(const ScanRequest& current, const BedWindow& window, bool lineart, int32_t resolution) {
    ScanRequest r = current;
    r.bedLeft = 0;
    r.bedTop = 0;
    r.bedRight = kBedPixelsWide;
    r.bedBottom = kBedPixelsLong;
    r.scanRectLeft = window.left;
    r.scanRectTop = window.top;
    r.scanRectRight = window.right;
    r.scanRectBottom = window.bottom;
    r.pixelType = lineart ? 0 : 1;
    r.bitDepth = lineart ? 1 : 8;
    r.xResolution = kBedDpi;
    r.yResolution = kBedDpi;
    r.interpolate = 0;
    r.reserved2 = 0;
    r.res = resolution == 300 ? 1 : 0;
    r.imageWidth = OutputPixelsPerLine(window, resolution);
    r.imageHeight = OutputLines(window, resolution);
    return r;
}

}  // namespace mirt::page_area
