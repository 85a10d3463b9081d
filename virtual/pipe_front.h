// The controller's USB framing, independent of how the bytes travel (in process, over a local
// socket, or through a USB device presented to libusb). A bulk OUT transfer carries pieces: a
// 4-byte header (operation 0 write fixed, 1 read fixed, 2 write incrementing, 3 read incrementing;
// address; 16-bit count, high byte first) with the data of a write behind it. A read header ends
// its transfer and is answered by the following bulk IN transfers, up to its count.
//
// Malformed framing is reported to the controller as a protocol error and never applied in part:
// an unknown operation or an address above 0x7F drops the rest of the transfer, a write whose data
// run past the end of the transfer is dropped whole, anything behind a read header is dropped, a
// bulk IN with no read pending returns nothing, and a new header while a read is still pending
// abandons that read.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

namespace ordavel::virtual_scanner {

// What the framing talks to.
class ControllerPort {
public:
    virtual ~ControllerPort() = default;
    virtual void writeRegister(uint8_t address, uint8_t value) = 0;
    // One byte as the register reads now (data port: the next buffered byte, or 0).
    virtual uint8_t readRegister(uint8_t address) = 0;
    // Reads from the image data port, waiting while the scan engine acquires; false when the
    // port stalled. `received` may fall short of out.size() once the engine has stopped.
    virtual bool readDataPort(std::span<uint8_t> out, std::size_t& received) = 0;
    virtual void protocolError(const std::string& text) = 0;
};

class PipeFront {
public:
    explicit PipeFront(ControllerPort& port) : port_(port) {}

    void bulkOut(std::span<const uint8_t> data);
    // False when no read is pending or the data port stalled.
    bool bulkIn(std::span<uint8_t> buffer, std::size_t& received);
    bool readPending() const { return pending_.remaining > 0; }
    // Forgets a pending read (a failed IN transfer loses the chip's answer).
    void abandonRead() { pending_ = {}; }

private:
    struct PendingRead {
        bool increment = false;
        uint8_t address = 0;
        std::size_t remaining = 0;
    };

    bool applyWrite(uint8_t address, bool increment, std::span<const uint8_t> data);

    ControllerPort& port_;
    PendingRead pending_;
};

}  // namespace ordavel::virtual_scanner
