// User-facing status texts in the encoding the system shows its users' texts in: UTF-8 on POSIX,
// GBK (code page 936) on Windows. The driver writes its texts in UTF-8 and stores each through
// EncodeStatusText, so a client reads them in its system's own encoding.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace ordavel::platform {

// `text` (UTF-8) in the system's status-text encoding, cut to at most `limit` bytes at the end of
// a whole character. A character the encoding lacks becomes '?'. Text that is not UTF-8 is taken
// as already encoded (a file name the system gave us) and only cut, between characters.
std::string EncodeStatusText(std::string_view text, std::size_t limit);

// A status text in the system's status-text encoding back in UTF-8: what a client that matches
// the driver's texts compares. Text that does not decode is given back unchanged.
std::string DecodeStatusText(std::string_view text);

// `text` kept in UTF-8, cut as EncodeStatusText cuts: what EncodeStatusText gives on POSIX.
std::string CutUtf8StatusText(std::string_view text, std::size_t limit);

// The name of that encoding ("UTF-8" or "GBK").
std::string_view StatusTextEncoding();

// The length of the longest prefix of `text`, at most `limit` bytes, that ends on a UTF-8
// character boundary. A character has at most three continuation bytes; bytes that are not UTF-8
// at all are cut at the limit rather than eating back into the text.
std::size_t Utf8PrefixLength(std::string_view text, std::size_t limit);

// `text` without a last UTF-8 character that a cut left incomplete (its lead byte announces more
// bytes than follow), as a formatter's own length limit may leave it.
std::string_view WithoutIncompleteLastCharacter(std::string_view text);

}  // namespace ordavel::platform
