// Page encoders.
#include "tools/mirt/page_encoding.h"

#include <algorithm>
#include <cctype>
#include <cstring>

#include "tools/mirt/png_pages.h"
#include "tools/mirt/tiff_pages.h"

namespace mirt {

namespace {

void Put16(std::vector<uint8_t>& out, uint32_t v) {
    out.push_back(static_cast<uint8_t>(v));
    out.push_back(static_cast<uint8_t>(v >> 8));
}
void Put32(std::vector<uint8_t>& out, uint32_t v) {
    Put16(out, v & 0xFFFF);
    Put16(out, v >> 16);
}

// The client's bitmap: file header, information header with a grey or black-and-white palette
// (colours used = palette size, resolutions 0, as the client leaves them), rows bottom first.
void EncodeBmp(const PageImage& page, std::vector<uint8_t>& out) {
    const uint32_t paletteEntries = page.bitsPerPixel == 1 ? 2 : 256;
    const uint32_t rowBytes = static_cast<uint32_t>(PageImage::RowBytesFor(page.width, page.bitsPerPixel));
    const uint32_t imageSize = rowBytes * static_cast<uint32_t>(page.height);
    const uint32_t dataOffset = 54 + paletteEntries * 4;
    out.clear();
    out.reserve(dataOffset + imageSize);
    out.push_back('B');
    out.push_back('M');
    Put32(out, dataOffset + imageSize);
    Put16(out, 0);
    Put16(out, 0);
    Put32(out, dataOffset);
    Put32(out, 40);
    Put32(out, static_cast<uint32_t>(page.width));
    Put32(out, static_cast<uint32_t>(page.height));
    Put16(out, 1);
    Put16(out, static_cast<uint32_t>(page.bitsPerPixel));
    Put32(out, 0);
    Put32(out, imageSize);
    Put32(out, 0);
    Put32(out, 0);
    Put32(out, paletteEntries);
    Put32(out, paletteEntries);
    for (uint32_t i = 0; i < paletteEntries; ++i) {
        const uint8_t level = paletteEntries == 2 ? static_cast<uint8_t>(i * 255) : static_cast<uint8_t>(i);
        for (int b = 0; b < 4; ++b) out.push_back(level);
    }
    const std::size_t copy = std::min<std::size_t>(rowBytes, static_cast<std::size_t>(page.rowBytes));
    for (int32_t y = page.height - 1; y >= 0; --y) {
        const uint8_t* row = page.row(y);
        out.insert(out.end(), row, row + copy);
        out.insert(out.end(), rowBytes - copy, 0);
    }
}

std::string Lower(std::string_view text) {
    std::string lower(text);
    for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return lower;
}

}  // namespace

const char* ExtensionOf(PageFormat format) {
    switch (format) {
        case PageFormat::Bmp: return "bmp";
        case PageFormat::Png: return "png";
        case PageFormat::Tiff: return "tif";
        case PageFormat::Pdf: return "pdf";
    }
    return "bmp";
}

std::optional<PageFormat> FormatNamed(std::string_view name) {
    const std::string lower = Lower(name);
    if (lower == "bmp") return PageFormat::Bmp;
    if (lower == "png") return PageFormat::Png;
    if (lower == "tif" || lower == "tiff") return PageFormat::Tiff;
    if (lower == "pdf") return PageFormat::Pdf;
    return std::nullopt;
}

std::optional<PageFormat> FormatOfFileName(std::string_view fileName) {
    const std::size_t dot = fileName.rfind('.');
    const std::size_t slash = fileName.rfind('/');
    if (dot == std::string_view::npos || (slash != std::string_view::npos && dot < slash)) return std::nullopt;
    return FormatNamed(fileName.substr(dot + 1));
}

bool EncodePage(const PageImage& page, PageFormat format, std::vector<uint8_t>& out, std::string& error) {
    switch (format) {
        case PageFormat::Bmp: EncodeBmp(page, out); return true;
        case PageFormat::Png: return EncodePng(page, out, error);
        case PageFormat::Tiff: return EncodeTiff(page, out, error);
        case PageFormat::Pdf: break;
    }
    error = "a PDF holds a whole batch, not one page";
    return false;
}

}  // namespace mirt
