// Readable summaries of what the driver sent to a scripted controller.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tests/support/scripted_pipe.h"

namespace ordavel::test {

// One item per command carried out, e.g. "W18 W07 R07 W03x3 R42": W or R, the address, and
// "xN" when the command carried more than one byte.
std::string Conversation(const ScriptedPipe& pipe, std::size_t fromCommand = 0);

// The bytes written to the memory port, one table per write of register 3 (the memory select)
// that memory bytes followed, in order: {select, bytes}.
struct MemoryTable {
    uint8_t select = 0;
    std::vector<uint8_t> bytes;
};
std::vector<MemoryTable> MemoryTables(const ScriptedPipe& pipe);

}  // namespace ordavel::test
