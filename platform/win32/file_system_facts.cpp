// The Windows file system's differences: no permission bits (access is the folder's ACL), and a
// directory cannot be opened as a file (CreateFileA without backup semantics refuses it).
#include "platform/file_system_facts.h"

namespace ordavel::platform {

bool OwnerOnlyFileModesApply() { return false; }

bool DirectoriesOpenAsFiles() { return false; }

}  // namespace ordavel::platform
