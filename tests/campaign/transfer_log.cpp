// Naming transfers by the controller command header they carry (or answer).
#include "tests/campaign/transfer_log.h"

#include <cstdio>

namespace ordavel::campaign {

void TransferLog::noteWrite(const uint8_t* data, std::size_t size) {
    std::string label = "write";
    if (size >= 4) {
        char text[48];
        const bool isRead = (data[0] & 0x01) != 0;
        const unsigned count = static_cast<unsigned>(data[2] << 8 | data[3]);
        if (isRead) {
            // A read request: the transfer that follows brings the answer.
            std::snprintf(text, sizeof text, "request read 0x%02X", data[1]);
            label = text;
            std::snprintf(text, sizeof text, "read 0x%02X (%u bytes)", data[1], count);
            lastRequest_ = text;
        } else {
            std::snprintf(text, sizeof text, "write 0x%02X (%zu bytes)", data[1], size);
            label = text;
        }
    }
    transfers_.emplace_back(keepLabels_ ? label : std::string());
}

void TransferLog::noteRead() {
    ++in_;
    transfers_.emplace_back(keepLabels_ ? lastRequest_ : std::string());
    if (keepLabels_) answers_.push_back(transfers_.size());
}

namespace {

class LoggedPipe final : public platform::RawPipe {
public:
    LoggedPipe(std::unique_ptr<platform::RawPipe> inner, std::shared_ptr<TransferLog> log)
        : inner_(std::move(inner)), log_(std::move(log)) {}

    bool lock(uint32_t timeoutMs) override { return inner_->lock(timeoutMs); }
    bool unlock() override { return inner_->unlock(); }
    bool write(std::span<const uint8_t> data) override {
        log_->noteWrite(data.data(), data.size());
        return inner_->write(data);
    }
    bool read(std::span<uint8_t> buffer, std::size_t& received) override {
        log_->noteRead();
        return inner_->read(buffer, received);
    }

private:
    std::unique_ptr<platform::RawPipe> inner_;
    std::shared_ptr<TransferLog> log_;
};

class LoggedBackendImpl final : public platform::DeviceBackend {
public:
    LoggedBackendImpl(std::shared_ptr<platform::DeviceBackend> inner, std::shared_ptr<TransferLog> log)
        : inner_(std::move(inner)), log_(std::move(log)) {}

    std::vector<platform::DeviceInfo> devices() override { return inner_->devices(); }
    std::unique_ptr<platform::RawPipe> open(const std::string& internalName) override {
        auto pipe = inner_->open(internalName);
        if (!pipe) return nullptr;
        return std::make_unique<LoggedPipe>(std::move(pipe), log_);
    }

private:
    std::shared_ptr<platform::DeviceBackend> inner_;
    std::shared_ptr<TransferLog> log_;
};

}  // namespace

std::shared_ptr<platform::DeviceBackend> LoggedBackend(std::shared_ptr<platform::DeviceBackend> inner,
                                                       std::shared_ptr<TransferLog> log) {
    return std::make_shared<LoggedBackendImpl>(std::move(inner), std::move(log));
}

}  // namespace ordavel::campaign
