// Where tests find the source tree's data and the build's products, and fresh scratch folders.
#pragma once

#include <string>

namespace ordavel::test {

std::string DataDir();    // the repository's data/ folder
std::string BinaryDir();  // the build folder (lib/, bin/)
std::string DriverLibraryPath();  // the built driver library
// A new empty directory under the system temporary directory, removed by the caller at will.
std::string MakeScratchDir(const std::string& tag);

}  // namespace ordavel::test
