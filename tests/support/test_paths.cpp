// Test locations: data, build products and scratch directories.
#include "tests/support/test_paths.h"

#include <filesystem>
#include <random>

namespace ordavel::test {

std::string DataDir() { return MIRT_DATA_DIR; }
std::string BinaryDir() { return MIRT_BINARY_DIR; }
std::string DriverLibraryPath() { return MIRT_DRIVER_LIBRARY; }

std::string MakeScratchDir(const std::string& tag) {
    namespace fs = std::filesystem;
    static std::mt19937_64 rng{std::random_device{}()};
    for (;;) {
        fs::path dir = fs::temp_directory_path() / ("mirt-test-" + tag + "-" + std::to_string(rng() % 1000000000));
        std::error_code ec;
        if (fs::create_directories(dir, ec)) return dir.string();
    }
}

}  // namespace ordavel::test
