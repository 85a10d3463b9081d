// The POSIX file system's differences: permission bits, and directories that open for reading.
#include "platform/file_system_facts.h"

namespace ordavel::platform {

bool OwnerOnlyFileModesApply() { return true; }

bool DirectoriesOpenAsFiles() { return true; }

}  // namespace ordavel::platform
