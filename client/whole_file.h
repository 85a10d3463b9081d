// Files written whole or not at all: the bytes go to a fresh temporary file beside the target,
// which is renamed over the target only once every byte is written and the file is closed. A
// full disk or a failing write leaves no partial file under the target's name.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <span>
#include <string>

namespace mirt {

enum class WholeFileResult { Written, CannotCreate, CannotWrite };

// Writes the pieces one after another as `path`; on failure nothing under `path` has changed.
WholeFileResult WriteWholeFile(const std::string& path, std::initializer_list<std::span<const uint8_t>> pieces);

}  // namespace mirt
