// Golden files: compare, report the first difference, or rewrite on request.
#include "tests/support/golden_file.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <vector>

namespace ordavel::test {

namespace {

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

bool UpdateRequested() {
    const char* flag = std::getenv("MIRT_UPDATE_GOLDEN");
    return flag != nullptr && std::string(flag) == "1";
}

void Write(const std::filesystem::path& path, const std::string& text) {
    std::filesystem::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary | std::ios::trunc) << text;
}

}  // namespace

std::string CompareWithGolden(const std::string& sourceRelativePath, const std::string& actual) {
    const std::filesystem::path golden = std::filesystem::path(MIRT_SOURCE_DIR) / sourceRelativePath;
    if (UpdateRequested()) {
        Write(golden, actual);
        return {};
    }
    std::ifstream in(golden, std::ios::binary);
    if (!in) return "no golden file " + golden.string() + " (run with MIRT_UPDATE_GOLDEN=1 to create it)";
    std::ostringstream expectedText;
    expectedText << in.rdbuf();
    if (expectedText.str() == actual) return {};

    const std::filesystem::path actualCopy = std::filesystem::path(MIRT_BINARY_DIR) / "golden-actual" / sourceRelativePath;
    Write(actualCopy, actual);
    const std::vector<std::string> want = Lines(expectedText.str());
    const std::vector<std::string> got = Lines(actual);
    std::size_t line = 0;
    while (line < want.size() && line < got.size() && want[line] == got[line]) ++line;
    std::ostringstream report;
    report << golden.string() << " differs at line " << line + 1 << "\n  golden: "
           << (line < want.size() ? want[line] : "<end>") << "\n  actual: " << (line < got.size() ? got[line] : "<end>")
           << "\n(whole text in " << actualCopy.string() << "; MIRT_UPDATE_GOLDEN=1 accepts it)";
    return report.str();
}

}  // namespace ordavel::test
