// Writing a page bitmap.
#include "client/bitmap_file.h"

#include <array>

#include "client/whole_file.h"

namespace mirt::client {

namespace {

constexpr std::size_t kFileHeaderBytes = 14;

void Put32(std::array<uint8_t, kFileHeaderBytes>& header, std::size_t at, uint32_t value) {
    for (int i = 0; i < 4; ++i) header[at + i] = static_cast<uint8_t>(value >> (8 * i));
}

}  // namespace

bool WriteBitmapFile(const PageImage& page, const std::string& path) {
    const std::size_t paletteBytes = static_cast<std::size_t>(page.paletteEntries()) * 4;
    const std::size_t pixelBytes = page.fileRowBytes() * static_cast<std::size_t>(page.height());
    const uint32_t dataOffset = static_cast<uint32_t>(kFileHeaderBytes + kInfoHeaderBytes + paletteBytes);
    std::array<uint8_t, kFileHeaderBytes> header{'B', 'M'};
    Put32(header, 2, static_cast<uint32_t>(dataOffset + pixelBytes));
    Put32(header, 6, 0);  // two reserved words
    Put32(header, 10, dataOffset);
    return WriteWholeFile(path, {header, page.headerAndPalette(), page.pixels().first(pixelBytes)}) ==
           WholeFileResult::Written;
}

}  // namespace mirt::client
