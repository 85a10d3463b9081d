// A scripted USB conversation with the scanner's controller, for tests: a raw pipe and a device
// backend that parse the framed commands the way the controller does, keep a 128-byte register
// file, answer reads from scripts, fail chosen calls and record everything the host did.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "platform/clock.h"
#include "platform/raw_pipe.h"

namespace ordavel::test {

// One framed command as the device took it from the bulk OUT stream.
struct PipeCommand {
    uint8_t operation = 0;      // 0 write fixed, 1 read fixed, 2 write incrementing, 3 read incrementing
    uint8_t address = 0;
    uint16_t count = 0;
    std::vector<uint8_t> data;  // a write's data; for a read, the bytes the device answered
    bool isRead() const { return (operation & 1) != 0; }
};

enum class PipeCall { Lock, Unlock, Write, Read };

// The device side of the conversation. Share it (std::shared_ptr) between the test and a
// ScriptedBackend; every pipe opened on it talks to the same registers and records.
//
// Framing as the controller takes it: a bulk OUT holds pieces of a 4-byte header (operation,
// address, count high, count low) followed, for writes, by `count` data bytes; a read header must
// be the whole bulk OUT and is answered by the next bulk IN. A fixed-address read of N bytes
// samples its register N times; address 0 is the data port. Anything else (unknown operation,
// address above 0x7F, truncated data, a transfer without the lock, an unpaired lock or unlock, a
// bulk IN of another size than the header asked for) is recorded in ProtocolErrors().
class ScriptedPipe {
public:
    explicit ScriptedPipe(std::shared_ptr<platform::VirtualClock> clock = nullptr);

    // --- The device's answers -------------------------------------------------------------
    // Sets a register of the register file (what reads return when nothing is scripted).
    void SetRegister(uint8_t reg, uint8_t value);
    // Reads of `reg` return these values in turn, one per byte read, then keep the last one;
    // writes still update the register file but no longer what reads return. An empty list
    // hands reads back to the register file.
    void ScriptReads(uint8_t reg, std::vector<uint8_t> values);
    // After every write of `value` to `reg`, reads of `reg` return `values` in turn (then the
    // last) until the next write to it; e.g. {5, 0} for a command that ends by itself.
    void ScriptReadsAfterWrite(uint8_t reg, uint8_t value, std::vector<uint8_t> values);
    // Image data for the data port; once used up, data-port reads are answered with 0 bytes.
    void QueueData(std::span<const uint8_t> bytes);
    // Every answer to a read starting at `address` carries at most this many bytes: short
    // data-port reads, or 0 for a register that answers nothing.
    void LimitAnswers(uint8_t address, std::size_t maxBytes);
    // Calls `first` .. `first + count - 1` of that kind (counting from 1) fail.
    void FailCalls(PipeCall call, std::size_t first, std::size_t count = 1);
    // Virtual time each bulk write or read costs, failed or not (default 1000 µs, one USB frame).
    void SetTransferCostMicros(uint64_t micros);

    // --- What the host did ------------------------------------------------------------------
    // One letter per call in order: L lock, U unlock, W bulk write, R bulk read; lower case when
    // the call failed. E.g. "LWRU" is one register read.
    const std::string& CallTrace() const { return trace_; }
    std::size_t CallCount(PipeCall call) const;
    const std::vector<std::vector<uint8_t>>& Writes() const { return writes_; }  // every bulk OUT
    const std::vector<std::size_t>& ReadRequests() const { return readRequests_; }  // bulk IN sizes
    const std::vector<PipeCommand>& Commands() const { return commands_; }  // commands carried out
    // Every byte written to an address, in order, as (address, value); the memory port included.
    const std::vector<std::pair<uint8_t, uint8_t>>& RegisterWrites() const { return registerWrites_; }
    // Read commands (not bytes) that started at `address`.
    std::size_t ReadsOf(uint8_t address) const;
    // Bytes written to the memory port (address 6), in order.
    const std::vector<uint8_t>& MemoryWrites() const { return memory_; }
    uint8_t Register(uint8_t reg) const { return registers_[reg & 0x7F]; }
    const std::vector<std::string>& ProtocolErrors() const { return errors_; }
    bool Locked() const { return locked_; }
    std::size_t OpenPipes() const { return openPipes_; }  // pipes handed out and not yet released

    // A raw pipe on this device; the backend hands these out.
    static std::unique_ptr<platform::RawPipe> OpenPipe(const std::shared_ptr<ScriptedPipe>& device);

private:
    friend class ScriptedPipeHandle;

    struct Sequence {
        std::vector<uint8_t> values;
        std::size_t next = 0;
        uint8_t Take();
    };
    struct PendingRead {
        uint8_t operation;
        uint8_t address;
        uint16_t count;
    };

    bool Lock();
    bool Unlock();
    bool Write(std::span<const uint8_t> bytes);
    bool Read(std::span<uint8_t> buffer, std::size_t& received);

    bool Injected(PipeCall call);
    void Record(PipeCall call, bool ok);
    void SpendTransferTime();
    void RequireLock(const char* what);
    void ParseWrite(std::span<const uint8_t> bytes);
    void ApplyWrite(const PipeCommand& command);
    void StoreByte(uint8_t address, uint8_t value);
    std::size_t AnswerRead(const PendingRead& read, std::span<uint8_t> buffer);
    uint8_t SampleRegister(uint8_t reg);
    void Error(std::string text) { errors_.push_back(std::move(text)); }

    std::shared_ptr<platform::VirtualClock> clock_;
    uint64_t transferCostMicros_ = 1000;
    uint8_t registers_[128] = {};
    std::map<uint8_t, Sequence> scripted_;
    std::map<std::pair<uint8_t, uint8_t>, std::vector<uint8_t>> afterWrite_;
    std::map<uint8_t, Sequence> activeAfterWrite_;
    std::vector<uint8_t> data_;
    std::size_t dataNext_ = 0;
    std::map<uint8_t, std::size_t> answerLimits_;
    std::map<PipeCall, std::vector<std::pair<std::size_t, std::size_t>>> failures_;
    std::map<PipeCall, std::size_t> calls_;

    bool locked_ = false;
    bool hasPendingRead_ = false;
    PendingRead pendingRead_{};
    std::size_t openPipes_ = 0;

    std::string trace_;
    std::vector<std::vector<uint8_t>> writes_;
    std::vector<std::size_t> readRequests_;
    std::vector<PipeCommand> commands_;
    std::vector<std::pair<uint8_t, uint8_t>> registerWrites_;
    std::vector<uint8_t> memory_;
    std::vector<std::string> errors_;
};

// A backend listing scripted devices in the order they were added.
class ScriptedBackend final : public platform::DeviceBackend {
public:
    // Lists a device; opening it gives a pipe on `device`, or fails when `device` is null.
    void AddDevice(std::u16string vendor, std::u16string product, std::string name,
                   std::shared_ptr<ScriptedPipe> device);
    // Internal names the host asked to open, in order.
    const std::vector<std::string>& OpenAttempts() const { return openAttempts_; }

    std::vector<platform::DeviceInfo> devices() override;
    std::unique_ptr<platform::RawPipe> open(const std::string& internalName) override;

private:
    struct Entry {
        platform::DeviceInfo info;
        std::shared_ptr<ScriptedPipe> device;
    };
    std::vector<Entry> entries_;
    std::vector<std::string> openAttempts_;
};

}  // namespace ordavel::test
