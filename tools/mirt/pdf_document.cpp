// PDF through libharu.
#include "tools/mirt/pdf_document.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <system_error>
#include <vector>

#include <hpdf.h>
#include <jpeglib.h>

namespace mirt {

namespace {

void NoteError(HPDF_STATUS code, HPDF_STATUS detail, void* user) {
    auto* last = static_cast<HPDF_STATUS*>(user);
    last[0] = code;
    last[1] = detail;
}

std::string LibraryError(const char* what, const HPDF_STATUS* last) {
    char text[96];
    std::snprintf(text, sizeof text, "%s (PDF library error 0x%04X, detail %u)", what, static_cast<unsigned>(last[0]),
                  static_cast<unsigned>(last[1]));
    return text;
}

// A grey page as a baseline JPEG. The PDF library compresses Flate streams only when the whole
// document is saved, which after a batch would cost every page's compression at once; a JPEG it
// embeds as it is, so each page is compressed on the writer thread while the next is scanned.
// Decided here: quality 90, at which scanned text and greys show no visible loss.
constexpr int kJpegQuality = 90;

void NoJpegOutput(j_common_ptr) {}

bool EncodeJpeg(const PageImage& page, std::vector<uint8_t>& out) {
    jpeg_compress_struct cinfo{};
    jpeg_error_mgr jerr{};
    cinfo.err = jpeg_std_error(&jerr);
    jerr.output_message = NoJpegOutput;
    jpeg_create_compress(&cinfo);
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&cinfo, &buffer, &size);
    cinfo.image_width = static_cast<JDIMENSION>(page.width);
    cinfo.image_height = static_cast<JDIMENSION>(page.height);
    cinfo.input_components = 1;
    cinfo.in_color_space = JCS_GRAYSCALE;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, kJpegQuality, TRUE);
    cinfo.density_unit = 1;  // dots per inch
    cinfo.X_density = static_cast<UINT16>(page.dpi);
    cinfo.Y_density = static_cast<UINT16>(page.dpi);
    jpeg_start_compress(&cinfo, TRUE);
    while (cinfo.next_scanline < cinfo.image_height) {
        JSAMPROW row = const_cast<JSAMPROW>(page.row(static_cast<int32_t>(cinfo.next_scanline)));
        jpeg_write_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_compress(&cinfo);
    out.assign(buffer, buffer + size);
    jpeg_destroy_compress(&cinfo);
    std::free(buffer);
    return !out.empty();
}

}  // namespace

struct PdfDocument::Impl {
    HPDF_STATUS last[2] = {0, 0};
    HPDF_Doc doc = nullptr;
    int pages = 0;
};

PdfDocument::PdfDocument() : impl_(std::make_unique<Impl>()) {
    impl_->doc = HPDF_New(NoteError, impl_->last);
    if (impl_->doc != nullptr) HPDF_SetCompressionMode(impl_->doc, HPDF_COMP_ALL);
}

PdfDocument::~PdfDocument() {
    if (impl_->doc != nullptr) HPDF_Free(impl_->doc);
}

int PdfDocument::pages() const { return impl_->pages; }

bool PdfDocument::addPage(const PageImage& page, std::string& error) {
    HPDF_Doc doc = impl_->doc;
    if (doc == nullptr) {
        error = "out of memory for the PDF document";
        return false;
    }
    HPDF_Image image = nullptr;
    if (page.bitsPerPixel == 1) {
        // 1 = white as the driver delivers it; the library encodes the rows CCITT Group 4.
        image = HPDF_Image_LoadRaw1BitImageFromMem(doc, page.pixels.data(), static_cast<HPDF_UINT>(page.width),
                                                   static_cast<HPDF_UINT>(page.height),
                                                   static_cast<HPDF_UINT>(page.rowBytes), HPDF_FALSE, HPDF_TRUE);
    } else {
        std::vector<uint8_t> jpeg;
        if (!EncodeJpeg(page, jpeg)) {
            error = "cannot compress the page for the PDF";
            return false;
        }
        image = HPDF_LoadJpegImageFromMem(doc, jpeg.data(), static_cast<HPDF_UINT>(jpeg.size()));
    }
    if (image == nullptr) {
        error = LibraryError("cannot add the page image to the PDF", impl_->last);
        return false;
    }
    const double dpi = page.dpi > 0 ? page.dpi : 200;
    const auto width = static_cast<HPDF_REAL>(page.width * 72.0 / dpi);
    const auto height = static_cast<HPDF_REAL>(page.height * 72.0 / dpi);
    HPDF_Page pdfPage = HPDF_AddPage(doc);
    if (pdfPage == nullptr || HPDF_Page_SetWidth(pdfPage, width) != HPDF_OK ||
        HPDF_Page_SetHeight(pdfPage, height) != HPDF_OK ||
        HPDF_Page_DrawImage(pdfPage, image, 0, 0, width, height) != HPDF_OK) {
        error = LibraryError("cannot add a page to the PDF", impl_->last);
        return false;
    }
    ++impl_->pages;
    return true;
}

bool PdfDocument::save(const std::string& path, std::string& error) {
    if (impl_->doc == nullptr) {
        error = "out of memory for the PDF document";
        return false;
    }
    errno = 0;
    if (HPDF_SaveToFile(impl_->doc, path.c_str()) != HPDF_OK) {
        error = "cannot write " + path + ": " +
                (errno != 0 ? std::generic_category().message(errno) : LibraryError("", impl_->last));
        return false;
    }
    return true;
}

bool PdfDocument::bytes(std::vector<uint8_t>& out, std::string& error) {
    out.clear();
    HPDF_Doc doc = impl_->doc;
    if (doc == nullptr || HPDF_SaveToStream(doc) != HPDF_OK) {
        error = LibraryError("cannot build the PDF", impl_->last);
        return false;
    }
    HPDF_ResetStream(doc);
    out.resize(HPDF_GetStreamSize(doc));
    std::size_t done = 0;
    while (done < out.size()) {
        auto size = static_cast<HPDF_UINT32>(out.size() - done);
        const HPDF_STATUS status = HPDF_ReadFromStream(doc, out.data() + done, &size);
        done += size;
        if (status != HPDF_OK || size == 0) break;
    }
    out.resize(done);
    return true;
}

}  // namespace mirt
