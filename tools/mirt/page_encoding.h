// Page file formats and the encoding of one page into a file's bytes: BMP as the scan-to-file
// client writes it, PNG and TIFF with the scan's resolution recorded. Encoding happens in memory,
// so the same bytes can go to a file (whole or not at all) or to standard output.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "tools/mirt/page_image.h"

namespace mirt {

// Pdf and MultiTiff hold a whole batch in one file; the others one page per file.
enum class PageFormat { Bmp, Png, Tiff, Pdf };

const char* ExtensionOf(PageFormat format);
// "bmp", "png", "tiff" (or "tif"), "pdf", in any case.
std::optional<PageFormat> FormatNamed(std::string_view name);
// The format a file name's extension stands for.
std::optional<PageFormat> FormatOfFileName(std::string_view fileName);

// False for a format this build of mirt was made without: a build without the image libraries
// (the Windows build: no MinGW packages of libpng, libtiff, libjpeg or libharu) writes BMP only,
// the scan-to-file client's own format.
bool FormatAvailable(PageFormat format);
// Why an unavailable format cannot be written, for the user.
std::string FormatUnavailableReason(PageFormat format);

// One page as a whole BMP, PNG or TIFF file. False with `error` set on an encoder failure.
bool EncodePage(const PageImage& page, PageFormat format, std::vector<uint8_t>& out, std::string& error);

// The zlib level PNG pages are written at. Scans are noisy, so higher levels buy little: on a
// whole-bed grey page level 1 with the Sub filter (which suits rows of slowly changing grey)
// takes about 40 ms of CPU against 85 ms at level 3 and 220 ms at the library's default, for
// files about a tenth larger than level 3's.
inline constexpr int kPngCompressionLevel = 1;

}  // namespace mirt
