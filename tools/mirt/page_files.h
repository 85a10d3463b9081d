// Writing a page to a numbered file: BMP as the scan-to-file client writes it, PNG or TIFF.
// A page file appears whole or not at all: it is written under a temporary name, then renamed.
#pragma once

#include <string>

#include "tools/mirt/page_image.h"

namespace mirt {

enum class PageFormat { Bmp, Png, Tiff };

const char* ExtensionOf(PageFormat format);
// "<prefix>001.<ext>": three digits at least, as the client numbers its pages.
std::string PageFileName(const std::string& prefix, int pageNumber, PageFormat format);
// False (with `error` set) when the file could not be written; nothing is left behind then.
bool WritePageFile(const PageImage& page, const std::string& path, PageFormat format, std::string& error);

}  // namespace mirt
