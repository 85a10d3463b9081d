// The scripted controller conversation: framing parser, register file, scripts and faults.
#include "tests/support/scripted_pipe.h"

#include <algorithm>
#include <cstdio>

namespace ordavel::test {

namespace {

constexpr std::size_t kHeaderSize = 4;
constexpr uint8_t kDataPort = 0x00;
constexpr uint8_t kMemoryPort = 0x06;
constexpr uint8_t kLastRegister = 0x7F;

std::string Hex(unsigned value) {
    char text[8];
    std::snprintf(text, sizeof text, "%02X", value);
    return text;
}

char Letter(PipeCall call) {
    switch (call) {
        case PipeCall::Lock: return 'L';
        case PipeCall::Unlock: return 'U';
        case PipeCall::Write: return 'W';
        case PipeCall::Read: return 'R';
    }
    return '?';
}

}  // namespace

// The pipe the backend hands out: forwards to the shared device and counts as open while alive.
class ScriptedPipeHandle final : public platform::RawPipe {
public:
    explicit ScriptedPipeHandle(std::shared_ptr<ScriptedPipe> device) : device_(std::move(device)) {
        ++device_->openPipes_;
    }
    ~ScriptedPipeHandle() override { --device_->openPipes_; }
    bool lock(uint32_t) override { return device_->Lock(); }
    bool unlock() override { return device_->Unlock(); }
    bool write(std::span<const uint8_t> data) override { return device_->Write(data); }
    bool read(std::span<uint8_t> buffer, std::size_t& received) override {
        return device_->Read(buffer, received);
    }

private:
    std::shared_ptr<ScriptedPipe> device_;
};

uint8_t ScriptedPipe::Sequence::Take() {
    const uint8_t value = values[std::min(next, values.size() - 1)];
    if (next + 1 < values.size()) ++next;
    return value;
}

ScriptedPipe::ScriptedPipe(std::shared_ptr<platform::VirtualClock> clock) : clock_(std::move(clock)) {}

std::unique_ptr<platform::RawPipe> ScriptedPipe::OpenPipe(const std::shared_ptr<ScriptedPipe>& device) {
    return std::make_unique<ScriptedPipeHandle>(device);
}

void ScriptedPipe::SetRegister(uint8_t reg, uint8_t value) { registers_[reg & kLastRegister] = value; }

void ScriptedPipe::ScriptReads(uint8_t reg, std::vector<uint8_t> values) {
    if (values.empty()) {
        scripted_.erase(reg);
    } else {
        scripted_[reg] = Sequence{std::move(values)};
    }
}

void ScriptedPipe::ScriptReadsAfterWrite(uint8_t reg, uint8_t value, std::vector<uint8_t> values) {
    afterWrite_[{reg, value}] = std::move(values);
}

void ScriptedPipe::QueueData(std::span<const uint8_t> bytes) { data_.insert(data_.end(), bytes.begin(), bytes.end()); }

void ScriptedPipe::LimitAnswers(uint8_t address, std::size_t maxBytes) { answerLimits_[address] = maxBytes; }

void ScriptedPipe::FailCalls(PipeCall call, std::size_t first, std::size_t count) {
    failures_[call].push_back({first, first + count});
}

void ScriptedPipe::SetTransferCostMicros(uint64_t micros) { transferCostMicros_ = micros; }

std::size_t ScriptedPipe::CallCount(PipeCall call) const {
    const auto it = calls_.find(call);
    return it == calls_.end() ? 0 : it->second;
}

std::size_t ScriptedPipe::ReadsOf(uint8_t address) const {
    return static_cast<std::size_t>(std::count_if(commands_.begin(), commands_.end(), [&](const PipeCommand& c) {
        return c.isRead() && c.address == address;
    }));
}

// Counts the call and tells whether a scripted failure falls on it.
bool ScriptedPipe::Injected(PipeCall call) {
    const std::size_t number = ++calls_[call];
    for (const auto& [first, end] : failures_[call]) {
        if (number >= first && number < end) return true;
    }
    return false;
}

void ScriptedPipe::Record(PipeCall call, bool ok) {
    const char letter = Letter(call);
    trace_ += ok ? letter : static_cast<char>(letter - 'A' + 'a');
}

void ScriptedPipe::SpendTransferTime() {
    if (clock_ != nullptr) clock_->advanceMicroseconds(transferCostMicros_);
}

void ScriptedPipe::RequireLock(const char* what) {
    if (!locked_) Error(std::string(what) + " without the device lock");
}

bool ScriptedPipe::Lock() {
    const bool ok = !Injected(PipeCall::Lock);
    Record(PipeCall::Lock, ok);
    if (!ok) return false;
    if (locked_) Error("lock taken while already held");
    locked_ = true;
    return true;
}

bool ScriptedPipe::Unlock() {
    const bool ok = !Injected(PipeCall::Unlock);
    Record(PipeCall::Unlock, ok);
    if (!locked_) Error("unlock without the lock held");
    locked_ = false;
    return ok;
}

bool ScriptedPipe::Write(std::span<const uint8_t> bytes) {
    writes_.emplace_back(bytes.begin(), bytes.end());
    SpendTransferTime();
    const bool ok = !Injected(PipeCall::Write);
    Record(PipeCall::Write, ok);
    RequireLock("bulk write");
    if (hasPendingRead_) Error("read header not followed by a bulk read");
    hasPendingRead_ = false;
    if (ok) ParseWrite(bytes);
    return ok;
}

bool ScriptedPipe::Read(std::span<uint8_t> buffer, std::size_t& received) {
    received = 0;
    readRequests_.push_back(buffer.size());
    SpendTransferTime();
    const bool ok = !Injected(PipeCall::Read);
    Record(PipeCall::Read, ok);
    RequireLock("bulk read");
    if (!hasPendingRead_) {
        Error("bulk read without a read header");
        return false;
    }
    hasPendingRead_ = false;  // a failed read loses its answer, as on the bus
    if (!ok) return false;
    if (buffer.size() != pendingRead_.count) {
        Error("bulk read of " + std::to_string(buffer.size()) + " bytes after a header for " +
              std::to_string(pendingRead_.count));
    }
    received = AnswerRead(pendingRead_, buffer);
    return true;
}

void ScriptedPipe::ParseWrite(std::span<const uint8_t> bytes) {
    std::size_t at = 0;
    while (at < bytes.size()) {
        if (bytes.size() - at < kHeaderSize) return Error("truncated header");
        PipeCommand command;
        command.operation = bytes[at];
        command.address = bytes[at + 1];
        command.count = static_cast<uint16_t>(bytes[at + 2] << 8 | bytes[at + 3]);
        at += kHeaderSize;
        if (command.operation > 3) return Error("unknown operation " + Hex(command.operation));
        if (command.address > kLastRegister) return Error("address " + Hex(command.address) + " out of range");
        if (command.count == 0) Error("command with a zero count");
        if (command.isRead()) {
            if (at != bytes.size()) return Error("bytes after a read header");
            pendingRead_ = {command.operation, command.address, command.count};
            hasPendingRead_ = true;
            return;
        }
        if (bytes.size() - at < command.count) return Error("truncated write data");
        command.data.assign(bytes.begin() + static_cast<std::ptrdiff_t>(at),
                            bytes.begin() + static_cast<std::ptrdiff_t>(at + command.count));
        at += command.count;
        ApplyWrite(command);
        commands_.push_back(std::move(command));
    }
}

void ScriptedPipe::ApplyWrite(const PipeCommand& command) {
    const bool increment = command.operation == 2;
    for (std::size_t i = 0; i < command.data.size(); ++i) {
        const std::size_t address = command.address + (increment ? i : 0);
        if (address > kLastRegister) return Error("incrementing write past register 7F");
        StoreByte(static_cast<uint8_t>(address), command.data[i]);
    }
}

void ScriptedPipe::StoreByte(uint8_t address, uint8_t value) {
    registers_[address] = value;
    registerWrites_.push_back({address, value});
    if (address == kMemoryPort) memory_.push_back(value);
    activeAfterWrite_.erase(address);
    const auto script = afterWrite_.find({address, value});
    if (script != afterWrite_.end() && !script->second.empty()) {
        activeAfterWrite_[address] = Sequence{script->second};
    }
}

std::size_t ScriptedPipe::AnswerRead(const PendingRead& read, std::span<uint8_t> buffer) {
    PipeCommand command{read.operation, read.address, read.count, {}};
    const bool increment = read.operation == 3;
    std::size_t answered = std::min<std::size_t>(buffer.size(), read.count);
    if (const auto limit = answerLimits_.find(read.address); limit != answerLimits_.end()) {
        answered = std::min(answered, limit->second);
    }
    if (!increment && read.address == kDataPort) {
        answered = std::min(answered, data_.size() - dataNext_);
        std::copy_n(data_.begin() + static_cast<std::ptrdiff_t>(dataNext_), answered, buffer.begin());
        dataNext_ += answered;
    } else {
        for (std::size_t i = 0; i < answered; ++i) {
            const std::size_t address = read.address + (increment ? i : 0);
            if (address > kLastRegister) {
                Error("incrementing read past register 7F");
                answered = i;
                break;
            }
            buffer[i] = SampleRegister(static_cast<uint8_t>(address));
        }
    }
    command.data.assign(buffer.begin(), buffer.begin() + static_cast<std::ptrdiff_t>(answered));
    commands_.push_back(std::move(command));
    return answered;
}

uint8_t ScriptedPipe::SampleRegister(uint8_t reg) {
    if (auto it = activeAfterWrite_.find(reg); it != activeAfterWrite_.end()) return it->second.Take();
    if (auto it = scripted_.find(reg); it != scripted_.end()) return it->second.Take();
    return registers_[reg];
}

void ScriptedBackend::AddDevice(std::u16string vendor, std::u16string product, std::string name,
                                std::shared_ptr<ScriptedPipe> device) {
    entries_.push_back({{std::move(vendor), std::move(product), std::move(name)}, std::move(device)});
}

std::vector<platform::DeviceInfo> ScriptedBackend::devices() {
    std::vector<platform::DeviceInfo> list;
    for (const Entry& entry : entries_) list.push_back(entry.info);
    return list;
}

std::unique_ptr<platform::RawPipe> ScriptedBackend::open(const std::string& internalName) {
    openAttempts_.push_back(internalName);
    for (const Entry& entry : entries_) {
        if (entry.info.internalName != internalName) continue;
        if (entry.device == nullptr) return nullptr;
        return ScriptedPipe::OpenPipe(entry.device);
    }
    return nullptr;
}

}  // namespace ordavel::test
