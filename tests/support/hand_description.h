// A scanner description filled by hand with the reference hardware's values, for tests that
// need no description file.
#pragma once

#include <cstdint>

#include "driver/description/scanner_description.h"

namespace ordavel::test {

// The reference scanner with the given chip (0 LM9831, 1 LM9832, 2 LM9833), working fields set
// as a load leaves them (start pixel, green duty) plus the clock divider setting 12.
description::ScannerDescription HandDescription(int32_t chip = 1);

}  // namespace ordavel::test
