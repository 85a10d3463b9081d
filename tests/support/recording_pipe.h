// A device backend that wraps another and records every bulk transfer of the pipes it opens,
// and a decoder that turns the record back into the controller commands the host framed.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/raw_pipe.h"

namespace ordavel::test {

struct RecordedTransfer {
    bool out = false;             // bulk OUT (host to device) or bulk IN
    bool ok = false;
    std::vector<uint8_t> bytes;   // sent, or received
};

struct TransferLog {
    std::vector<RecordedTransfer> transfers;
};

class RecordingBackend final : public platform::DeviceBackend {
public:
    RecordingBackend(std::shared_ptr<platform::DeviceBackend> inner, std::shared_ptr<TransferLog> log);
    std::vector<platform::DeviceInfo> devices() override;
    std::unique_ptr<platform::RawPipe> open(const std::string& internalName) override;

private:
    std::shared_ptr<platform::DeviceBackend> inner_;
    std::shared_ptr<TransferLog> log_;
};

// One controller command: a write with its data, or a read with the bytes that answered it.
struct Frame {
    uint8_t operation = 0;  // 0 write fixed, 1 read fixed, 2 write incrementing, 3 read incrementing
    uint8_t address = 0;
    uint16_t count = 0;
    std::vector<uint8_t> data;
    bool isRead() const { return (operation & 1) != 0; }
};

// The commands of the successful transfers from `fromTransfer` on, in order.
std::vector<Frame> DecodeFrames(const TransferLog& log, std::size_t fromTransfer = 0);

// One line per frame: "W 18 = 18", "W+ 07 (55): 00 0A ..." (16 bytes a line), "R 42 -> 00",
// "R+ 07 (121) -> ...". Consecutive memory-port pieces (address 6) are shown as one line with
// their total length, piece count, a checksum and the first 16 bytes instead of every byte.
std::string RenderFrames(const std::vector<Frame>& frames);

// As RenderFrames, for whole jobs: each run of consecutive reads of the image data port (address
// 0) becomes one line with the number of reads and the bytes they returned, "R 00 data: 12 reads,
// 98304 bytes", and a run of identical frames (a status poll repeated while waiting) becomes the
// frame once followed by " x N". Blocks of up to 8 bytes stay on their frame's line.
std::string RenderJobFrames(const std::vector<Frame>& frames);

}  // namespace ordavel::test
