// A batch as one PDF: every page an image filling a page of the sheet's physical size (pixels
// over the scan's resolution). Line art is stored CCITT Group 4, grey as JPEG.
#pragma once

#include <memory>
#include <cstdint>
#include <string>
#include <vector>

#include "tools/mirt/page_image.h"

namespace mirt {

class PdfDocument {
public:
    PdfDocument();
    ~PdfDocument();
    PdfDocument(const PdfDocument&) = delete;
    PdfDocument& operator=(const PdfDocument&) = delete;

    bool addPage(const PageImage& page, std::string& error);
    int pages() const;
    // Writes the whole document to `path`.
    bool save(const std::string& path, std::string& error);
    // The whole document in memory (for standard output).
    bool bytes(std::vector<uint8_t>& out, std::string& error);

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace mirt
