// Telling the user about a failure that has no other way out: one "caption: text" line on
// standard error.
#pragma once

#include <string>

namespace ordavel::platform {

void ShowErrorMessage(const std::string& caption, const std::string& text);

}  // namespace ordavel::platform
