// Windows command lines: one string that the started program's runtime splits into arguments.
#pragma once

#include <string>
#include <vector>

namespace ordavel::platform::win32 {

// `program` and `arguments` quoted so that the C runtime's splitting gives them back unchanged.
std::string CommandLine(const std::string& program, const std::vector<std::string>& arguments);

// The path of the module (program or library) that holds `address`; empty when unknown.
std::string ModulePathOf(const void* address);

// The folder part of a path (before its last separator); empty when it has none.
std::string FolderOf(const std::string& path);

}  // namespace ordavel::platform::win32
