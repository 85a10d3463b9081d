// Scratch directories for tests: created fresh, filled with files, removed at the end.
#include "tests/support/scratch_files.h"

#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>

#include "platform/temp_dir.h"
#include "tests/support/test_paths.h"

namespace ordavel::test {

ScratchDir::ScratchDir(const std::string& tag) : path_(MakeScratchDir(tag)) {}

ScratchDir::~ScratchDir() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
}

std::string ScratchDir::file(std::string_view name) const {
    // The system's own separator, as the driver joins its paths: tests compare messages naming them.
    return path_ + platform::kPathSeparator + std::string(name);
}

std::string ScratchDir::write(std::string_view name, std::string_view content) const {
    const std::string full = file(name);
    std::ofstream out(full, std::ios::binary | std::ios::trunc);
    out.write(content.data(), static_cast<std::streamsize>(content.size()));
    if (!out) throw std::runtime_error("cannot write " + full);
    return full;
}

std::string ScratchDir::copyData(std::string_view dataName, std::string_view name) const {
    return write(name, ReadWholeFile(DataDir() + "/" + std::string(dataName)));
}

std::string ReadWholeFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw std::runtime_error("cannot read " + path);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

}  // namespace ordavel::test
