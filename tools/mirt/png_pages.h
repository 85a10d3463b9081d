// One page as a PNG file: 1-bit or 8-bit grey, the scan's resolution recorded.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tools/mirt/page_image.h"

namespace mirt {

bool EncodePng(const PageImage& page, std::vector<uint8_t>& out, std::string& error);

}  // namespace mirt
