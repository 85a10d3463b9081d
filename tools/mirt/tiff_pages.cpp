// TIFF through libtiff: a memory stream for single pages, a file for multi-page batches.
#include "tools/mirt/tiff_pages.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <system_error>

#include <tiffio.h>

namespace mirt {

namespace {

// One page as the current directory of `tiff`, then the directory written.
bool WriteDirectory(TIFF* tiff, const PageImage& page, int pageIndex, bool multiPage) {
    TIFFSetField(tiff, TIFFTAG_IMAGEWIDTH, static_cast<uint32_t>(page.width));
    TIFFSetField(tiff, TIFFTAG_IMAGELENGTH, static_cast<uint32_t>(page.height));
    TIFFSetField(tiff, TIFFTAG_BITSPERSAMPLE, static_cast<uint16_t>(page.bitsPerPixel));
    TIFFSetField(tiff, TIFFTAG_SAMPLESPERPIXEL, static_cast<uint16_t>(1));
    TIFFSetField(tiff, TIFFTAG_PHOTOMETRIC, static_cast<uint16_t>(PHOTOMETRIC_MINISBLACK));
    TIFFSetField(tiff, TIFFTAG_PLANARCONFIG, static_cast<uint16_t>(PLANARCONFIG_CONTIG));
    if (page.bitsPerPixel == 1) {
        TIFFSetField(tiff, TIFFTAG_COMPRESSION, static_cast<uint16_t>(COMPRESSION_CCITTFAX4));
    } else {
        TIFFSetField(tiff, TIFFTAG_COMPRESSION, static_cast<uint16_t>(COMPRESSION_LZW));
        TIFFSetField(tiff, TIFFTAG_PREDICTOR, static_cast<uint16_t>(PREDICTOR_HORIZONTAL));
    }
    TIFFSetField(tiff, TIFFTAG_ROWSPERSTRIP, TIFFDefaultStripSize(tiff, 0));
    TIFFSetField(tiff, TIFFTAG_RESOLUTIONUNIT, static_cast<uint16_t>(RESUNIT_INCH));
    TIFFSetField(tiff, TIFFTAG_XRESOLUTION, static_cast<float>(page.dpi));
    TIFFSetField(tiff, TIFFTAG_YRESOLUTION, static_cast<float>(page.dpi));
    if (multiPage) {
        TIFFSetField(tiff, TIFFTAG_SUBFILETYPE, static_cast<uint32_t>(FILETYPE_PAGE));
        // The page count is not known while the batch runs; 0 says so, as the tag allows.
        TIFFSetField(tiff, TIFFTAG_PAGENUMBER, static_cast<uint16_t>(pageIndex), static_cast<uint16_t>(0));
    }
    const std::size_t rowBytes = static_cast<std::size_t>(TIFFScanlineSize(tiff));
    std::vector<uint8_t> row(std::max(rowBytes, static_cast<std::size_t>(page.rowBytes)));
    for (int32_t y = 0; y < page.height; ++y) {
        std::memcpy(row.data(), page.row(y), static_cast<std::size_t>(page.rowBytes));
        if (TIFFWriteScanline(tiff, row.data(), static_cast<uint32_t>(y), 0) != 1) return false;
    }
    return TIFFWriteDirectory(tiff) == 1;
}

// A growable memory file for libtiff.
struct MemoryFile {
    std::vector<uint8_t>* data;
    toff_t position = 0;
};

tsize_t MemoryRead(thandle_t handle, tdata_t buffer, tsize_t size) {
    auto* file = static_cast<MemoryFile*>(handle);
    const auto available = static_cast<tsize_t>(file->data->size()) - static_cast<tsize_t>(file->position);
    const tsize_t n = std::max<tsize_t>(0, std::min(size, available));
    if (n > 0) std::memcpy(buffer, file->data->data() + file->position, static_cast<std::size_t>(n));
    file->position += static_cast<toff_t>(n);
    return n;
}

tsize_t MemoryWrite(thandle_t handle, tdata_t buffer, tsize_t size) {
    auto* file = static_cast<MemoryFile*>(handle);
    const std::size_t end = static_cast<std::size_t>(file->position) + static_cast<std::size_t>(size);
    if (end > file->data->size()) file->data->resize(end);
    std::memcpy(file->data->data() + file->position, buffer, static_cast<std::size_t>(size));
    file->position = end;
    return size;
}

toff_t MemorySeek(thandle_t handle, toff_t offset, int whence) {
    auto* file = static_cast<MemoryFile*>(handle);
    const auto size = static_cast<toff_t>(file->data->size());
    if (whence == SEEK_SET) file->position = offset;
    else if (whence == SEEK_CUR) file->position += offset;
    else file->position = size + offset;
    return file->position;
}

int MemoryClose(thandle_t) { return 0; }
toff_t MemorySize(thandle_t handle) { return static_cast<MemoryFile*>(handle)->data->size(); }
int MemoryMap(thandle_t, tdata_t*, toff_t*) { return 0; }
void MemoryUnmap(thandle_t, tdata_t, toff_t) {}

}  // namespace

bool EncodeTiff(const PageImage& page, std::vector<uint8_t>& out, std::string& error) {
    out.clear();
    MemoryFile file{&out};
    TIFF* tiff = TIFFClientOpen("page", "w", &file, MemoryRead, MemoryWrite, MemorySeek, MemoryClose, MemorySize,
                                MemoryMap, MemoryUnmap);
    if (tiff == nullptr) {
        error = "the TIFF encoder failed";
        return false;
    }
    const bool ok = WriteDirectory(tiff, page, 0, false);
    TIFFClose(tiff);
    if (!ok) error = "the TIFF encoder failed";
    return ok;
}

struct MultiPageTiff::Impl {
    TIFF* tiff = nullptr;
    int pages = 0;
};

MultiPageTiff::MultiPageTiff() : impl_(std::make_unique<Impl>()) {}

MultiPageTiff::~MultiPageTiff() {
    if (impl_->tiff != nullptr) TIFFClose(impl_->tiff);
}

bool MultiPageTiff::open(const std::string& path, std::string& error) {
    errno = 0;
    impl_->tiff = TIFFOpen(path.c_str(), "w");
    if (impl_->tiff == nullptr) {
        error = "cannot create " + path + (errno != 0 ? ": " + std::generic_category().message(errno) : "");
        return false;
    }
    return true;
}

bool MultiPageTiff::addPage(const PageImage& page, std::string& error) {
    errno = 0;
    if (impl_->tiff == nullptr || !WriteDirectory(impl_->tiff, page, impl_->pages, true)) {
        error = std::string("cannot write the TIFF page") + (errno != 0 ? ": " + std::generic_category().message(errno) : "");
        return false;
    }
    ++impl_->pages;
    return true;
}

bool MultiPageTiff::close(std::string& error) {
    if (impl_->tiff == nullptr) return true;
    errno = 0;
    TIFFClose(impl_->tiff);
    impl_->tiff = nullptr;
    if (errno == ENOSPC || errno == EIO || errno == EDQUOT) {
        error = "cannot finish the TIFF file: " + std::generic_category().message(errno);
        return false;
    }
    return true;
}

}  // namespace mirt
