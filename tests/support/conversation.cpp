// Readable summaries of a scripted controller conversation.
#include "tests/support/conversation.h"

#include <cstdio>

namespace ordavel::test {

std::string Conversation(const ScriptedPipe& pipe, std::size_t fromCommand) {
    std::string out;
    const auto& commands = pipe.Commands();
    for (std::size_t i = fromCommand; i < commands.size(); ++i) {
        const PipeCommand& c = commands[i];
        char item[24];
        std::snprintf(item, sizeof item, "%s%c%02X", out.empty() ? "" : " ", c.isRead() ? 'R' : 'W', c.address);
        out += item;
        if (c.count > 1) out += "x" + std::to_string(c.count);
    }
    return out;
}

std::vector<MemoryTable> MemoryTables(const ScriptedPipe& pipe) {
    std::vector<MemoryTable> tables;
    uint8_t select = 0;
    bool open = false;  // a table for the current select has begun
    for (const auto& [address, value] : pipe.RegisterWrites()) {
        if (address == 0x03) {
            select = value;
            open = false;
        } else if (address == 0x06) {
            if (!open) tables.push_back(MemoryTable{select, {}});
            open = true;
            tables.back().bytes.push_back(value);
        }
    }
    return tables;
}

}  // namespace ordavel::test
