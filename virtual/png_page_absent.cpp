// PNG pages in a build without libpng (the Windows build): the built-in pages only.
#include "virtual/png_page.h"

namespace ordavel::virtual_scanner {

namespace {
constexpr const char* kNoPng = ": PNG pages are not available in this build (built-in pages only)";
}  // namespace

std::shared_ptr<const Page> LoadPngPage(const std::string& path, double, std::string& error) {
    error = path + kNoPng;
    return nullptr;
}

bool WritePagePng(const Page&, double, const std::string& path, std::string& error) {
    error = path + kNoPng;
    return false;
}

}  // namespace ordavel::virtual_scanner
