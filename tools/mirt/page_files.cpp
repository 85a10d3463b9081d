// Page file writers.
#include "tools/mirt/page_files.h"

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <vector>

#include <png.h>
#include <tiffio.h>

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
// (colours used = palette size, resolutions 0), rows bottom first.
bool WriteBmp(const PageImage& page, const std::string& path) {
    const uint32_t paletteEntries = page.bitsPerPixel == 1 ? 2 : 256;
    const uint32_t rowBytes = static_cast<uint32_t>(PageImage::RowBytesFor(page.width, page.bitsPerPixel));
    const uint32_t imageSize = rowBytes * static_cast<uint32_t>(page.height);
    const uint32_t dataOffset = 54 + paletteEntries * 4;
    std::vector<uint8_t> header;
    header.push_back('B');
    header.push_back('M');
    Put32(header, dataOffset + imageSize);
    Put16(header, 0);
    Put16(header, 0);
    Put32(header, dataOffset);
    Put32(header, 40);
    Put32(header, static_cast<uint32_t>(page.width));
    Put32(header, static_cast<uint32_t>(page.height));
    Put16(header, 1);
    Put16(header, static_cast<uint32_t>(page.bitsPerPixel));
    Put32(header, 0);
    Put32(header, imageSize);
    Put32(header, 0);
    Put32(header, 0);
    Put32(header, paletteEntries);
    Put32(header, paletteEntries);
    for (uint32_t i = 0; i < paletteEntries; ++i) {
        const uint8_t level = paletteEntries == 2 ? static_cast<uint8_t>(i * 255) : static_cast<uint8_t>(i);
        for (int b = 0; b < 4; ++b) header.push_back(level);
    }
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) return false;
    bool ok = std::fwrite(header.data(), 1, header.size(), file) == header.size();
    std::vector<uint8_t> row(rowBytes, 0);
    for (int32_t y = page.height - 1; ok && y >= 0; --y) {
        std::memcpy(row.data(), page.row(y), std::min<std::size_t>(rowBytes, static_cast<std::size_t>(page.rowBytes)));
        ok = std::fwrite(row.data(), 1, row.size(), file) == row.size();
    }
    ok = (std::fclose(file) == 0) && ok;
    return ok;
}

bool WritePng(const PageImage& page, const std::string& path) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) return false;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png != nullptr ? png_create_info_struct(png) : nullptr;
    bool ok = png != nullptr && info != nullptr;
    if (ok && setjmp(png_jmpbuf(png)) != 0) {
        ok = false;
    } else if (ok) {
        png_init_io(png, file);
        png_set_IHDR(png, info, static_cast<png_uint_32>(page.width), static_cast<png_uint_32>(page.height),
                     page.bitsPerPixel, PNG_COLOR_TYPE_GRAY, PNG_INTERLACE_NONE,
                     PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
        png_write_info(png, info);
        for (int32_t y = 0; y < page.height; ++y) png_write_row(png, page.row(y));
        png_write_end(png, nullptr);
    }
    png_destroy_write_struct(&png, &info);
    ok = (std::fclose(file) == 0) && ok;
    return ok;
}

bool WriteTiff(const PageImage& page, const std::string& path) {
    TIFF* tiff = TIFFOpen(path.c_str(), "w");
    if (tiff == nullptr) return false;
    TIFFSetField(tiff, TIFFTAG_IMAGEWIDTH, static_cast<uint32_t>(page.width));
    TIFFSetField(tiff, TIFFTAG_IMAGELENGTH, static_cast<uint32_t>(page.height));
    TIFFSetField(tiff, TIFFTAG_BITSPERSAMPLE, static_cast<uint16_t>(page.bitsPerPixel));
    TIFFSetField(tiff, TIFFTAG_SAMPLESPERPIXEL, static_cast<uint16_t>(1));
    TIFFSetField(tiff, TIFFTAG_PHOTOMETRIC, static_cast<uint16_t>(PHOTOMETRIC_MINISBLACK));
    TIFFSetField(tiff, TIFFTAG_PLANARCONFIG, static_cast<uint16_t>(PLANARCONFIG_CONTIG));
    TIFFSetField(tiff, TIFFTAG_COMPRESSION,
                 static_cast<uint16_t>(page.bitsPerPixel == 1 ? COMPRESSION_CCITTFAX4 : COMPRESSION_LZW));
    TIFFSetField(tiff, TIFFTAG_RESOLUTIONUNIT, static_cast<uint16_t>(RESUNIT_INCH));
    bool ok = true;
    std::vector<uint8_t> row(static_cast<std::size_t>(page.rowBytes));
    for (int32_t y = 0; ok && y < page.height; ++y) {
        std::memcpy(row.data(), page.row(y), row.size());
        ok = TIFFWriteScanline(tiff, row.data(), static_cast<uint32_t>(y), 0) == 1;
    }
    TIFFClose(tiff);
    return ok;
}

}  // namespace

const char* ExtensionOf(PageFormat format) {
    switch (format) {
        case PageFormat::Bmp: return "bmp";
        case PageFormat::Png: return "png";
        case PageFormat::Tiff: return "tif";
    }
    return "bmp";
}

std::string PageFileName(const std::string& prefix, int pageNumber, PageFormat format) {
    char number[16];
    std::snprintf(number, sizeof number, "%03d", pageNumber);
    return prefix + number + "." + ExtensionOf(format);
}

bool WritePageFile(const PageImage& page, const std::string& path, PageFormat format, std::string& error) {
    const std::string partial = path + ".partial";
    bool ok = false;
    switch (format) {
        case PageFormat::Bmp: ok = WriteBmp(page, partial); break;
        case PageFormat::Png: ok = WritePng(page, partial); break;
        case PageFormat::Tiff: ok = WriteTiff(page, partial); break;
    }
    std::error_code ec;
    if (ok) std::filesystem::rename(partial, path, ec);
    if (!ok || ec) {
        std::filesystem::remove(partial, ec);
        error = "cannot write " + path;
        return false;
    }
    return true;
}

}  // namespace mirt
