// Kernel file handles kept as CRT descriptors.
#include "platform/win32/file_handle.h"

#include <fcntl.h>
#include <io.h>

namespace ordavel::platform::win32 {

int DescriptorOfHandle(HANDLE handle) {
    const int fd = ::_open_osfhandle(reinterpret_cast<intptr_t>(handle), _O_BINARY);
    if (fd < 0) ::CloseHandle(handle);
    return fd;
}

HANDLE HandleOfDescriptor(int fd) { return reinterpret_cast<HANDLE>(::_get_osfhandle(fd)); }

void CloseDescriptor(int fd) {
    if (fd >= 0) ::_close(fd);
}

}  // namespace ordavel::platform::win32
