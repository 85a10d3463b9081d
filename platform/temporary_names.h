// The names the clean-up of stray temporaries looks for, on every system.
#pragma once

#include <cstddef>
#include <span>
#include <string_view>

namespace ordavel::platform {

// Six letters or digits after "<base>.": the unique part of a whole-file replacement's temporary.
inline constexpr std::size_t kTemporaryUniqueChars = 6;

// True when `name` is "<base>.XXXXXX" for a base of `atomicBases` or ends in ".partial".
bool IsLeftoverTemporaryName(std::string_view name, std::span<const std::string_view> atomicBases);

}  // namespace ordavel::platform
