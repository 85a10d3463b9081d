// The module (program or library) this code was linked into: where its resources live and
// which instance owns its window classes.
#pragma once

#include <windows.h>

namespace ordavel::platform::win32 {

HMODULE OwnModule();

}  // namespace ordavel::platform::win32
