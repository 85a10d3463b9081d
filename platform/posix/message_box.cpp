// Message boxes as lines on standard error.
#include "platform/message_box.h"

#include <cstdio>

namespace ordavel::platform {

void ShowErrorMessage(const std::string& caption, const std::string& text) {
    std::fprintf(stderr, "%s: %s\n", caption.c_str(), text.c_str());
}

}  // namespace ordavel::platform
