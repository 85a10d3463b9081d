// The framed raw primitives: one write or read transfer, retried as a whole, with the device
// lock held around each attempt.
#include <algorithm>
#include <vector>

#include "driver/device/controller_registers.h"
#include "driver/device/framing.h"
#include "driver/device/transport.h"
#include "driver/interface/driver_context.h"

namespace ordavel::device {

namespace {

constexpr int kTransferAttempts = 10;
constexpr uint32_t kLockTimeoutMs = 2000;

// The lock is released only when it was taken: on this platform a lock may be shared with other
// processes, and releasing one this process does not hold could free another's transfer.
class DeviceLock {
public:
    explicit DeviceLock(platform::RawPipe& pipe) : pipe_(pipe), held_(pipe.lock(kLockTimeoutMs)) {}
    ~DeviceLock() {
        if (held_) pipe_.unlock();
    }
    DeviceLock(const DeviceLock&) = delete;
    DeviceLock& operator=(const DeviceLock&) = delete;
    bool held() const { return held_; }

private:
    platform::RawPipe& pipe_;
    bool held_;
};

// One attempt: the whole data in as few bulk writes as the buffer allows. After a failed send
// the remaining buffers are not sent (packing them would change nothing the device sees).
bool WriteAttempt(platform::RawPipe& pipe, uint8_t address, std::span<const uint8_t> data,
                  bool increment) {
    DeviceLock lock(pipe);
    if (!lock.held()) return false;
    std::vector<uint8_t> buffer;
    buffer.reserve(framing::kWriteBufferCapacity);
    std::size_t offset = 0;
    while (offset < data.size()) {
        buffer.clear();
        offset = framing::PackWriteBuffer(buffer, address, data, offset, increment);
        if (!pipe.write(buffer)) return false;
    }
    return true;
}

struct ReadOutcome {
    bool ok = false;
    bool emptyAnswer = false;  // the device answered a piece with zero bytes
};

// One attempt: header, then the answer, piece by piece from `received` on until the buffer is
// full or the device has nothing more to give. `received` counts what has arrived so far.
ReadOutcome ReadAttempt(platform::RawPipe& pipe, uint8_t address, std::span<uint8_t> buffer,
                        bool increment, std::size_t& received) {
    DeviceLock lock(pipe);
    if (!lock.held()) return {};
    while (received < buffer.size()) {
        const std::size_t piece = std::min(framing::kMaxReadPiece, buffer.size() - received);
        const auto header = framing::Header(framing::ReadOperation(increment),
                                            framing::PieceAddress(address, received, increment),
                                            static_cast<uint16_t>(piece));
        if (!pipe.write(header)) return {};
        std::size_t got = 0;
        if (!pipe.read(buffer.subspan(received, piece), got)) return {};
        if (got == 0) return {true, true};
        received += std::min(got, piece);
    }
    return {true, false};
}

}  // namespace

bool RawWrite(DriverContext& ctx, uint8_t address, std::span<const uint8_t> data, bool increment) {
    for (int attempt = 0; attempt < kTransferAttempts; ++attempt) {
        if (RawWriteOnce(ctx, address, data, increment)) return true;
    }
    return false;
}

bool RawWriteOnce(DriverContext& ctx, uint8_t address, std::span<const uint8_t> data, bool increment) {
    platform::RawPipe* pipe = ctx.connection.pipe.get();
    return pipe != nullptr && WriteAttempt(*pipe, address, data, increment);
}

int RawTransferAttempts() { return kTransferAttempts; }

bool RawRead(DriverContext& ctx, uint8_t address, std::span<uint8_t> buffer, bool increment,
             int32_t* dataEnd) {
    std::size_t received = 0;
    return RawReadCounted(ctx, address, buffer, increment, dataEnd, received);
}

bool RawReadCounted(DriverContext& ctx, uint8_t address, std::span<uint8_t> buffer, bool increment,
                    int32_t* dataEnd, std::size_t& received) {
    received = 0;
    platform::RawPipe* pipe = ctx.connection.pipe.get();
    if (pipe == nullptr) return false;
    // The data port hands each byte out once: what arrived before a failed attempt is gone from
    // the controller, so the next attempt goes on from there instead of asking for it again
    // (which would take later bytes for earlier ones and shift the rest of the image). Registers
    // answer the same again, so their reads start over.
    const bool dataPort = address == kDataPort && !increment;
    for (int attempt = 0; attempt < kTransferAttempts; ++attempt) {
        if (!dataPort) received = 0;
        const ReadOutcome outcome = ReadAttempt(*pipe, address, buffer, increment, received);
        // Only the data port may run dry: an empty answer there is the end of the sheet's data.
        // A register that answers nothing has failed, like a transfer that failed outright; both
        // are retried, and neither is ever taken for the end of data.
        if (outcome.emptyAnswer && address == kDataPort) {
            if (dataEnd != nullptr) *dataEnd = 1;
            return true;
        }
        if (outcome.ok && !outcome.emptyAnswer) return true;
    }
    return false;
}

}  // namespace ordavel::device
