// The report of a failed set-up step: one line built from the step name and the error code.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace installer {

// The ERROR_ name of a set-up interface code; the first listed name wins for a code that has an
// older alias.
std::optional<std::string_view> SetupErrorName(uint32_t code);

// "Error %d in %s: %s\n" with the system's text when it has one, else "Error %8.8lX in %s: %s\n"
// with the code's name, else "Error %8.8lX in %s\n".
std::string FormatErrorReport(uint32_t code, std::string_view step, const std::optional<std::string>& systemText);

}  // namespace installer
