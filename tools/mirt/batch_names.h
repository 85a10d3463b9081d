// The names a batch's files get: a pattern with one printf-style number ("scans/page%03d.png",
// scanimage's --batch), the number the batch starts at, and the output directory checked before
// any paper moves, so that no page is scanned into a place it cannot be written to and no earlier
// page is overwritten.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace mirt {

// True when `pattern` holds exactly one integer conversion (%d, %5d or %05d) in its file name and
// otherwise only "%%"; `error` says what is wrong otherwise.
bool CheckNamePattern(const std::string& pattern, std::string& error);

// The name of file `number`.
std::string NameFor(const std::string& pattern, int number);

// The numbers of the files in the pattern's directory whose names the pattern makes.
std::vector<int> ExistingNumbers(const std::string& pattern);

// The number the batch starts at. Without `start`: one past the highest existing file of the
// pattern, so a second batch into the same directory continues the first. With `start`: that
// number, refused when a file of the pattern numbered `start` or later exists (the batch would
// overwrite it).
bool ChooseFirstNumber(const std::string& pattern, std::optional<int> start, int& first, std::string& error);

// The pattern's directory, created when missing, and proven writable by creating and removing a
// file in it. False with the system's reason otherwise.
bool PrepareOutputDirectory(const std::string& pattern, std::string& error);

// Writes `bytes` to `path` whole or not at all: into "<path>.partial", then renamed, never over
// an existing file. False with the system's reason; nothing is left behind then.
bool WriteWholeFile(const std::string& path, const std::vector<uint8_t>& bytes, std::string& error);
// The same rename step for a file already written at `partial`.
bool PublishFile(const std::string& partial, const std::string& path, std::string& error);

}  // namespace mirt
