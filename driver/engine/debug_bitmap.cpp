// The debug bitmap file.
#include "driver/engine/debug_bitmap.h"

#include "platform/work_files.h"

namespace ordavel::engine {

std::string DebugBitmapPath(const std::string& workFile) {
    const std::size_t dot = workFile.rfind('.');
    return (dot == std::string::npos ? workFile : workFile.substr(0, dot)) + ".bmp";
}

std::FILE* CreateDebugBitmap(const std::string& path, std::span<const uint8_t> headers) {
    // Beside the work file in a directory others may share: created anew, never through a link.
    std::FILE* file = platform::CreateOwnerFile(path);
    if (file != nullptr) AppendDebugBitmap(file, headers);
    return file;
}

void AppendDebugBitmap(std::FILE* file, std::span<const uint8_t> rows) {
    if (file == nullptr || rows.empty()) return;
    (void)std::fwrite(rows.data(), 1, rows.size(), file);
}

void CloseDebugBitmap(std::FILE*& file) {
    if (file == nullptr) return;
    std::fclose(file);
    file = nullptr;
}

}  // namespace ordavel::engine
