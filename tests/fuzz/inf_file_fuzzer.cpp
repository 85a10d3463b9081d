// Fuzzes the INF reader: arbitrary bytes as an INF file, parsed, then every field of every line
// read back as the device set-up reads them.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "platform/inf_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    uint32_t code = 0, line = 0;
    const auto inf = ordavel::platform::InfFile::Parse(text, &code, &line);
    if (!inf) {
        // A refusal always says why and where.
        if (code == 0 || line == 0) std::abort();
        return 0;
    }
    std::size_t total = 0;
    for (const auto& section : inf->sections()) {
        for (const auto& l : section.lines) {
            for (uint32_t i = 0; i <= l.fields.size() + 1; ++i) {
                if (auto field = ordavel::platform::InfFile::Field(l, i)) total += field->size();
            }
        }
        if (inf->section(section.name) == nullptr) std::abort();
    }
    (void)inf->value("Version", "Class");
    (void)inf->isWin4Style();
    return total == SIZE_MAX ? 1 : 0;
}
