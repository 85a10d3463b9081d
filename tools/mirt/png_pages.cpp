// PNG pages through libpng, encoded in memory.
#include "tools/mirt/png_pages.h"

#include <cmath>
#include <csetjmp>

#include <png.h>

#include "tools/mirt/page_encoding.h"

namespace mirt {

namespace {

void AppendPngBytes(png_structp png, png_bytep data, png_size_t length) {
    auto* out = static_cast<std::vector<uint8_t>*>(png_get_io_ptr(png));
    out->insert(out->end(), data, data + length);
}

void FlushNothing(png_structp) {}

}  // namespace

bool EncodePng(const PageImage& page, std::vector<uint8_t>& out, std::string& error) {
    out.clear();
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png != nullptr ? png_create_info_struct(png) : nullptr;
    bool ok = png != nullptr && info != nullptr;
    if (ok && setjmp(png_jmpbuf(png)) != 0) {
        ok = false;
    } else if (ok) {
        png_set_write_fn(png, &out, AppendPngBytes, FlushNothing);
        png_set_IHDR(png, info, static_cast<png_uint_32>(page.width), static_cast<png_uint_32>(page.height),
                     page.bitsPerPixel, PNG_COLOR_TYPE_GRAY, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                     PNG_FILTER_TYPE_DEFAULT);
        const auto perMetre = static_cast<png_uint_32>(std::lround(page.dpi / 0.0254));
        png_set_pHYs(png, info, perMetre, perMetre, PNG_RESOLUTION_METER);
        png_set_compression_level(png, kPngCompressionLevel);
        png_set_filter(png, PNG_FILTER_TYPE_BASE, page.bitsPerPixel == 1 ? PNG_FILTER_NONE : PNG_FILTER_SUB);
        png_write_info(png, info);
        for (int32_t y = 0; y < page.height; ++y) png_write_row(png, page.row(y));
        png_write_end(png, nullptr);
    }
    png_destroy_write_struct(&png, &info);
    if (!ok) error = "the PNG encoder failed";
    return ok;
}

}  // namespace mirt
