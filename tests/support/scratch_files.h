// Scratch directories with helpers to write and read whole files, removed when the test ends.
#pragma once

#include <string>
#include <string_view>

namespace ordavel::test {

class ScratchDir {
public:
    explicit ScratchDir(const std::string& tag);
    ~ScratchDir();
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;

    const std::string& path() const { return path_; }
    std::string file(std::string_view name) const;
    // Writes `content` byte for byte to `name` in the directory; returns the full path.
    std::string write(std::string_view name, std::string_view content) const;
    // Copies a file of the repository's data/ folder into the directory under `name`.
    std::string copyData(std::string_view dataName, std::string_view name) const;

private:
    std::string path_;
};

std::string ReadWholeFile(const std::string& path);

}  // namespace ordavel::test
