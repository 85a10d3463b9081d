// TIFF pages with their resolution: one page encoded in memory, or a multi-page file that
// grows by one directory per page. Line art is CCITT Group 4, grey LZW with the horizontal
// predictor.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "tools/mirt/page_image.h"

namespace mirt {

bool EncodeTiff(const PageImage& page, std::vector<uint8_t>& out, std::string& error);

class MultiPageTiff {
public:
    MultiPageTiff();
    ~MultiPageTiff();
    MultiPageTiff(const MultiPageTiff&) = delete;
    MultiPageTiff& operator=(const MultiPageTiff&) = delete;

    // Creates the file at `path` (truncating it).
    bool open(const std::string& path, std::string& error);
    bool addPage(const PageImage& page, std::string& error);
    // Closes the file; false when its last directory could not be written.
    bool close(std::string& error);

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace mirt
