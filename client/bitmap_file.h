// The bitmap file of one page: the 14-byte file header, the page image's information header and
// palette, then its pixel rows (bottom row first, as the page image already holds them).
#pragma once

#include <string>

#include "client/page_image.h"

namespace mirt::client {

// Writes the file whole or not at all; true only when every byte is in place under `path`, so
// callers count only pages that really were written.
bool WriteBitmapFile(const PageImage& page, const std::string& path);

}  // namespace mirt::client
