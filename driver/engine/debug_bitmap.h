// The debug bitmap of a sheet: with Debug set, the delivered rows are also written to a bitmap
// file beside the work file. It is a by-product: its errors are not reported.
#pragma once

#include <cstdio>
#include <span>
#include <string>

namespace ordavel::engine {

// The work-file path with everything from its last "." replaced by ".bmp".
std::string DebugBitmapPath(const std::string& workFile);

// Replaces any file of that name with one holding `headers`; null when it cannot be created.
std::FILE* CreateDebugBitmap(const std::string& path, std::span<const uint8_t> headers);
void AppendDebugBitmap(std::FILE* file, std::span<const uint8_t> rows);
// Closes the file (when open) and clears the handle.
void CloseDebugBitmap(std::FILE*& file);

}  // namespace ordavel::engine
