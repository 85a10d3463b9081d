// A mirt built with libpng, libtiff, libjpeg and libharu: every page format is written.
#include "tools/mirt/page_encoding.h"

namespace mirt {

bool FormatAvailable(PageFormat) { return true; }

std::string FormatUnavailableReason(PageFormat) { return {}; }

}  // namespace mirt
