// The linear default gamma file: three sections of 4096 entries, i mapped to i / 16.
#include "driver/description/gamma_file_reader.h"
#include "driver/description/gamma_tables.h"

namespace ordavel::description {

namespace {

constexpr const char* kSectionHeaders[kGammaChannels] = {
    ";Gamma Data (red)\n", ";Gamma Data (green)\n", ";Gamma Data (blue)\n"};

}  // namespace

bool WriteDefaultGammaFile(std::FILE* file) {
    for (const char* header : kSectionHeaders) {
        if (std::fputs(header, file) < 0) return false;
        for (int i = 0; i < kGammaEntries; ++i) {
            if (std::fprintf(file, "%X\t%X\n", static_cast<unsigned>(i), static_cast<unsigned>(i / 16)) < 0) {
                return false;
            }
        }
    }
    return true;
}

}  // namespace ordavel::description
