// Programs started to run on their own: detached from the starting process (its own session, no
// terminal, standard streams on the null device, no inherited descriptors), so the starter
// neither waits for it nor keeps it, and a test runner reading the starter's output is not held
// open by it.
#pragma once

#include <string>
#include <vector>

namespace ordavel::platform {

// Starts `program` with `arguments`; false (with `error`) when it could not be started.
bool StartBackgroundProgram(const std::string& program, const std::vector<std::string>& arguments,
                            std::string& error);

// The folder of the file (library or program) that holds the code at `address`; empty when unknown.
std::string ModuleFolderOf(const void* address);

// The id of this process.
long ThisProcessId();

// True when `path` names a file this process may execute.
bool IsExecutableFile(const std::string& path);

}  // namespace ordavel::platform
