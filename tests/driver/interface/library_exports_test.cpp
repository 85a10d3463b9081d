// The built shared library's dynamic symbol table: the eleven functions and nothing else. (The
// Windows build's export table is checked with objdump by scripts/test-windows.sh.)
#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <set>
#include <sstream>
#include <string>

#include "tests/support/test_paths.h"

namespace {

std::set<std::string> DefinedDynamicSymbols(const std::string& path) {
    std::set<std::string> names;
    const std::string command = "nm -D --defined-only '" + path + "'";
    std::unique_ptr<FILE, int (*)(FILE*)> pipe(::popen(command.c_str(), "r"), &::pclose);
    if (!pipe) return names;
    char line[512];
    while (std::fgets(line, sizeof line, pipe.get()) != nullptr) {
        std::istringstream fields(line);
        std::string address, type, name;
        if (fields >> address >> type >> name) names.insert(name);
    }
    return names;
}

TEST(LibraryFile, ExportsExactlyTheElevenFunctions) {
    const std::set<std::string> expected{"ScanStart", "ScanRead", "ScanStop", "ScanSetScanParams",
                                         "ScanGetScanParams", "ScanGetScanInfo", "ScanGetScanHardware",
                                         "ScanGetCapability", "ScanCalibration", "ScanPaperEmpty",
                                         "ScanFeedPaper"};
    EXPECT_EQ(DefinedDynamicSymbols(ordavel::test::DriverLibraryPath()), expected);
}

}  // namespace
