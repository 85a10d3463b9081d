// The description file's value syntax: comment stripping, the first word of a value, and the
// integer and float forms (ParseIntValue / ParseFloatValue, declared with the loader).
#pragma once

#include <string>
#include <string_view>

namespace ordavel::description {

// Ends the value at the first "//" (a comment) and removes trailing blanks and tabs.
std::string CleanValue(std::string_view value);

// The first blank-delimited word of a value; empty when there is none.
std::string_view FirstWord(std::string_view value);

// True for the characters a C scanner skips as white space.
bool IsBlank(char c);

// Case-insensitive equality of ASCII names and words.
bool EqualsNoCase(std::string_view a, std::string_view b);

}  // namespace ordavel::description
