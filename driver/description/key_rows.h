// Processing one row of the description key table: lookup (override section first), cleaning,
// conversion, validation against the row's words or limits, and storing into the description.
#pragma once

#include <optional>
#include <string>

#include "driver/description/key_table.h"
#include "platform/profile.h"

namespace ordavel {
class DriverContext;
}

namespace ordavel::description {

// True when the row applies to the chip (0 LM9831, 1 LM9832, 2 LM9833).
bool RowAppliesToChip(const KeyRow& row, int32_t chip);

// Reads, checks and stores the row's key; reports the row's message and returns false on
// failure. `overrideSection` is searched before the row's own section.
bool ApplyKeyRow(DriverContext& ctx, const KeyRow& row, const platform::ProfileFile& file,
                 const std::optional<std::string>& overrideSection);

}  // namespace ordavel::description
