// Parsing bulk OUT pieces and answering bulk IN transfers.
#include "virtual/pipe_front.h"

#include <cstdio>

#include "virtual/register_map.h"

namespace ordavel::virtual_scanner {

namespace {
std::string hex(unsigned value) {
    char text[8];
    std::snprintf(text, sizeof text, "0x%02X", value);
    return text;
}
}  // namespace

bool PipeFront::applyWrite(uint8_t address, bool increment, std::span<const uint8_t> data) {
    if (increment && address + data.size() > std::size_t{reg::kLast} + 1) {
        port_.protocolError("incrementing write from " + hex(address) + " of " + std::to_string(data.size()) +
                            " bytes runs past register 0x7F");
        return false;
    }
    for (std::size_t i = 0; i < data.size(); ++i) {
        port_.writeRegister(static_cast<uint8_t>(increment ? address + i : address), data[i]);
    }
    return true;
}

void PipeFront::bulkOut(std::span<const uint8_t> data) {
    std::size_t at = 0;
    while (at < data.size()) {
        if (pending_.remaining > 0) {
            port_.protocolError("new command while " + std::to_string(pending_.remaining) +
                                " bytes of a read were not collected");
            pending_ = {};
        }
        if (data.size() - at < 4) {
            port_.protocolError("truncated header: " + std::to_string(data.size() - at) + " bytes");
            return;
        }
        const uint8_t operation = data[at];
        const uint8_t address = data[at + 1];
        const std::size_t count = std::size_t{data[at + 2]} << 8 | data[at + 3];
        at += 4;
        if (operation > 3) {
            port_.protocolError("unknown operation " + hex(operation));
            return;
        }
        if (address > reg::kLast) {
            port_.protocolError("address " + hex(address) + " above 0x7F");
            return;
        }
        const bool increment = operation >= 2;
        if (operation == 1 || operation == 3) {
            pending_ = {increment, address, count};
            if (at < data.size()) port_.protocolError("bytes after a read request dropped");
            return;
        }
        if (data.size() - at < count) {
            port_.protocolError("write to " + hex(address) + " announces " + std::to_string(count) + " bytes, " +
                                std::to_string(data.size() - at) + " follow");
            return;
        }
        applyWrite(address, increment, data.subspan(at, count));
        at += count;
    }
}

bool PipeFront::bulkIn(std::span<uint8_t> buffer, std::size_t& received) {
    received = 0;
    if (pending_.remaining == 0) {
        port_.protocolError("bulk IN with no read pending");
        return false;
    }
    const std::size_t n = std::min(buffer.size(), pending_.remaining);
    if (!pending_.increment && pending_.address == reg::kDataPort) {
        const bool ok = port_.readDataPort(buffer.first(n), received);
        pending_.remaining -= received;
        // A short answer ends the read: the engine had nothing more.
        if (!ok || received < n) pending_ = {};
        return ok;
    }
    for (std::size_t i = 0; i < n; ++i) {
        uint8_t address = pending_.address;
        if (pending_.increment) {
            if (address > reg::kLast) {
                port_.protocolError("incrementing read runs past register 0x7F");
                pending_ = {};
                return true;
            }
            ++pending_.address;
        }
        buffer[i] = port_.readRegister(address);
        ++received;
        --pending_.remaining;
    }
    return true;
}

}  // namespace ordavel::virtual_scanner
