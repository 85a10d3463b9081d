// Readable dump of a register image.
#include "driver/description/register_image.h"

#include <cstdio>

namespace ordavel::description {

std::string RegisterImage::dump() const {
    std::string out;
    char cell[8];
    for (int row = 0; row < kRegisterCount; row += 16) {
        std::snprintf(cell, sizeof cell, "%02X:", row);
        out += cell;
        for (int reg = row; reg < row + 16; ++reg) {
            if (isWritten(reg)) {
                std::snprintf(cell, sizeof cell, " %02X", static_cast<unsigned>((*this)[reg] & 0xFF));
            } else {
                std::snprintf(cell, sizeof cell, " --");
            }
            out += cell;
        }
        out += '\n';
    }
    return out;
}

}  // namespace ordavel::description
