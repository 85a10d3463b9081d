// The Windows directory: where the client finds the driver library and the scan monitor
// ("twain_32/Mirt/" below it).
#pragma once

#include <string>

namespace ordavel::platform {

// Windows: GetWindowsDirectoryA. POSIX: $MIRT_WINDIR when set; else, from the folder of the
// library or program containing this code, "../windir" (the build tree), "../share/mirt/windir"
// (an installed library) or the directory above "twain_32/Mirt" (a program installed inside it);
// else the installation's configured "<data directory>/mirt/windir".
// Never ends in a separator unless it is a root ("/", "C:").
std::string WindowsDirectory();

// The platform's file names of the driver library and the monitor program in that folder.
#ifdef _WIN32
inline constexpr const char* kDriverLibraryFile = "Ordavel.dll";
inline constexpr const char* kMonitorProgramFile = "Halvex.exe";
#else
inline constexpr const char* kDriverLibraryFile = "libOrdavel.so";
inline constexpr const char* kMonitorProgramFile = "Halvex";
#endif

}  // namespace ordavel::platform
