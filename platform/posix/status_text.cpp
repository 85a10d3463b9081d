// Status texts on POSIX: the system shows UTF-8, the driver's own encoding.
#include "platform/status_text.h"

namespace ordavel::platform {

std::string EncodeStatusText(std::string_view text, std::size_t limit) {
    return CutUtf8StatusText(text, limit);
}

std::string DecodeStatusText(std::string_view text) { return std::string(text); }

std::string_view StatusTextEncoding() { return "UTF-8"; }

}  // namespace ordavel::platform
