// Kernel file handles kept as CRT descriptors, so the platform headers' descriptor members serve
// Windows too: the descriptor owns the handle, and closing it closes the handle.
#pragma once

#include <windows.h>

namespace ordavel::platform::win32 {

// The descriptor owning `handle`, or -1 (the handle then closed).
int DescriptorOfHandle(HANDLE handle);
// The handle a descriptor owns, or INVALID_HANDLE_VALUE.
HANDLE HandleOfDescriptor(int fd);
// Closes the descriptor and its handle.
void CloseDescriptor(int fd);

}  // namespace ordavel::platform::win32
