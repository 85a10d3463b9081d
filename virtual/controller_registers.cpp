// The controller's registers as the host reaches them: writes dispatched to the table memory, the
// sequencer and the buffer; reads of the counter, status, engine bit, command and version; and
// the image data port that waits in virtual time while a scan acquires.
#include "virtual/virtual_scanner.h"

namespace ordavel::virtual_scanner {

void VirtualScanner::logMemoryWrite() {
    const uint64_t us = clock_->microseconds();
    const uint16_t address = static_cast<uint16_t>(memory_.addressHigh() << 8 | memory_.addressLow());
    auto& writes = log_.memoryWrites;
    if (writes.empty() || memoryWriteTransfer_ != transferNumber_ || writes.back().select != registers_.get(reg::kMemorySelect)) {
        writes.push_back({us, registers_.get(reg::kMemorySelect), address, 0, 0});
        memoryWriteTransfer_ = transferNumber_;
    }
    ++writes.back().bytes;
}

void VirtualScanner::writeRegister(uint8_t address, uint8_t value) {
    const Ticks t = now();
    if (address != reg::kMemoryData) log_.registerWrites.push_back({clock_->microseconds(), address, value});
    switch (address) {
        case reg::kDataPort:
        case reg::kDataCounter:
        case reg::kStatus:
        case reg::kVersion: return;  // read-only
        case reg::kMemorySelect: memory_.select(value); break;
        case reg::kMemoryAddressHigh: memory_.setAddressHigh(value); break;
        case reg::kMemoryAddressLow: memory_.setAddressLow(value); break;
        case reg::kMemoryData: {
            logMemoryWrite();
            if (!memory_.write(value)) ++log_.memoryWrites.back().dropped;
            return;
        }
        case reg::kCommand:
            registers_.set(address, value);
            sequencer_.write(value, t);
            return;
        case reg::kMemoryConfig: buffer_.setLarge((value & bits::kMemoryLarge) != 0); break;
        default: break;
    }
    registers_.set(address, value);
    if (address == reg::kPaperSensorConfig || address == reg::kMiscIo12) {
        inputs_.update(inputs_.levels(), registers_.get(reg::kPaperSensorConfig), registers_.get(reg::kMiscIo12));
    }
}

uint8_t VirtualScanner::statusRegisterValue(bool consume) {
    const uint8_t sensors = registers_.get(reg::kPaperSensorConfig);
    const uint8_t pins = registers_.get(reg::kMiscIo12);
    return consume ? inputs_.read(sensors, pins) : inputs_.peek(sensors, pins);
}

uint8_t VirtualScanner::readRegister(uint8_t address) {
    switch (address) {
        case reg::kDataPort: {
            uint8_t byte = 0;
            if (buffer_.pop({&byte, 1}) == 1) sequencer_.bufferDrained(now());
            return byte;
        }
        case reg::kStatus: return statusRegisterValue(true);
        case reg::kMemoryData: {
            bool inside = false;
            return memory_.read(inside);
        }
        default: return peekRegister(address);
    }
}

uint8_t VirtualScanner::peekRegister(uint8_t address) {
    std::lock_guard guard(mutex_);
    switch (address & 0x7F) {
        case reg::kDataPort: return 0;
        case reg::kDataCounter: return buffer_.counterUnits();
        case reg::kStatus: return statusRegisterValue(false);
        case reg::kMemorySelect:
            // Bit 4 reads whether the scan engine has stopped acquiring (ended, or paused).
            return static_cast<uint8_t>((registers_.get(reg::kMemorySelect) & ~bits::kEngineStopped) |
                                        (sequencer_.engineStopped() ? bits::kEngineStopped : 0));
        case reg::kMemoryAddressHigh: return memory_.addressHigh();
        case reg::kMemoryAddressLow: return memory_.addressLow();
        case reg::kMemoryData: return 0;
        case reg::kCommand: {
            const bool stuck = faults_.commandStuck(msSinceStart(now()));
            return static_cast<uint8_t>(sequencer_.command() | (stuck ? 0x80 : 0));
        }
        case reg::kVersion: return config_.chip == Chip::LM9831 ? 3 : 4;
        default: return registers_.get(address);
    }
}

bool VirtualScanner::readDataPort(std::span<uint8_t> out, std::size_t& received) {
    received = 0;
    if (faults_.dataPortStalls(msSinceStart(now()))) {
        ++log_.counters.stalledReads;
        clock_->sleep(config_.usb.timeoutMs);
        return false;
    }
    // Like a bulk IN with a timeout: a scan that produces nothing for that long fails the read.
    const Ticks deadline = now() + MicrosecondsToTicks(uint64_t{config_.usb.timeoutMs} * 1000);
    for (;;) {
        syncTo(now());
        const std::size_t n = buffer_.pop(out.subspan(received));
        received += n;
        if (n > 0) sequencer_.bufferDrained(now());
        if (received == out.size() || !sequencer_.acquiring()) return true;
        // Wait, in virtual time, for the next line the engine stores.
        const auto next = sequencer_.nextLineStoredAt();
        if (!next) return true;
        if (*next > deadline) {
            advanceClockTo(deadline);
            syncTo(now());
            return false;
        }
        advanceClockTo(*next);
    }
}

void VirtualScanner::protocolError(const std::string& text) {
    log_.protocolErrors.push_back({clock_->microseconds(), transferNumber_, text});
}

}  // namespace ordavel::virtual_scanner
