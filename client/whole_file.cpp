// Whole-file writes through a temporary file and a rename.
#include "client/whole_file.h"

#include <cstdio>
#include <random>

#include "platform/temp_dir.h"
#include "platform/work_files.h"

namespace mirt {

namespace {

constexpr char kSeparator = ordavel::platform::kPathSeparator;

std::string FolderOf(const std::string& path) {
    const auto slash = path.find_last_of(kSeparator);
    if (slash == std::string::npos) return ".";
    return slash == 0 ? std::string(1, kSeparator) : path.substr(0, slash);
}

std::string NameOf(const std::string& path) {
    const auto slash = path.find_last_of(kSeparator);
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// A new file beside the target, created exclusively with the permissions any new file of the
// user gets (the page files are the user's documents, not private work files).
std::FILE* CreateBeside(const std::string& path, std::string& temporary) {
    std::random_device random;
    for (int attempt = 0; attempt < 16; ++attempt) {
        temporary = FolderOf(path) + kSeparator + "." + NameOf(path) + "." + std::to_string(random()) + ".tmp";
        if (std::FILE* file = std::fopen(temporary.c_str(), "wbx")) return file;
    }
    temporary.clear();
    return nullptr;
}

}  // namespace

WholeFileResult WriteWholeFile(const std::string& path, std::initializer_list<std::span<const uint8_t>> pieces) {
    std::string temporary;
    std::FILE* out = CreateBeside(path, temporary);
    if (out == nullptr) return WholeFileResult::CannotCreate;
    bool ok = true;
    for (const auto& piece : pieces) {
        if (!ok) break;
        ok = piece.empty() || std::fwrite(piece.data(), 1, piece.size(), out) == piece.size();
    }
    if (std::fclose(out) != 0) ok = false;
    // Flushed and moved over the target; a plain rename would not replace an existing file on
    // every system.
    if (ok && ordavel::platform::MoveIntoPlace(temporary, path)) return WholeFileResult::Written;
    std::remove(temporary.c_str());
    return WholeFileResult::CannotWrite;
}

}  // namespace mirt
