// The in-process transport: raw pipes straight onto the scanner's USB function, with the device
// lock in between.
#include "virtual/virtual_backend.h"

#include "virtual/virtual_scanner.h"

namespace ordavel::virtual_scanner {

namespace {

constexpr const char* kInternalName = "virtual";

}  // namespace

std::u16string Utf8ToUtf16(const std::string& text) {
    std::u16string out;
    for (std::size_t i = 0; i < text.size();) {
        const auto lead = static_cast<unsigned char>(text[i]);
        const int extra = lead < 0x80 ? 0 : (lead >> 5) == 0x6 ? 1 : (lead >> 4) == 0xE ? 2 : (lead >> 3) == 0x1E ? 3 : -1;
        char32_t cp = extra == 0 ? lead : extra == 1 ? lead & 0x1F : extra == 2 ? lead & 0x0F : lead & 0x07;
        bool valid = extra >= 0 && i + static_cast<std::size_t>(extra) < text.size() + (extra == 0 ? 1 : 0);
        for (int k = 1; valid && k <= extra; ++k) {
            const auto next = static_cast<unsigned char>(text[i + static_cast<std::size_t>(k)]);
            if ((next & 0xC0) != 0x80) valid = false;
            cp = (cp << 6) | (next & 0x3F);
        }
        if (!valid || cp > 0x10FFFF) {
            out.push_back(u'\uFFFD');
            ++i;
            continue;
        }
        if (cp >= 0x10000) {
            cp -= 0x10000;
            out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
            out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
        } else {
            out.push_back(static_cast<char16_t>(cp));
        }
        i += static_cast<std::size_t>(extra) + 1;
    }
    return out;
}

namespace {

class InProcessPipe final : public platform::RawPipe {
public:
    explicit InProcessPipe(std::shared_ptr<VirtualScanner> scanner) : scanner_(std::move(scanner)) {}
    ~InProcessPipe() override { scanner_->deviceLock().unlock(this); }

    bool lock(uint32_t timeoutMs) override {
        if (!scanner_->present()) return false;
        const bool ok = scanner_->deviceLock().lock(this, timeoutMs, scanner_->clock());
        if (!ok) scanner_->noteLockTimeout();
        return ok;
    }
    bool unlock() override { return scanner_->deviceLock().unlock(this); }
    bool write(std::span<const uint8_t> data) override { return scanner_->bulkOut(data); }
    bool read(std::span<uint8_t> buffer, std::size_t& received) override { return scanner_->bulkIn(buffer, received); }

private:
    std::shared_ptr<VirtualScanner> scanner_;
};

class VirtualBackend final : public platform::DeviceBackend {
public:
    explicit VirtualBackend(std::shared_ptr<VirtualScanner> scanner) : scanner_(std::move(scanner)) {}

    std::vector<platform::DeviceInfo> devices() override {
        if (!scanner_->present()) return {};
        return {{Utf8ToUtf16(scanner_->config().manufacturer), Utf8ToUtf16(scanner_->config().product), kInternalName}};
    }

    std::unique_ptr<platform::RawPipe> open(const std::string& internalName) override {
        if (internalName != kInternalName || !scanner_->present()) return nullptr;
        return std::make_unique<InProcessPipe>(scanner_);
    }

private:
    std::shared_ptr<VirtualScanner> scanner_;
};

}  // namespace

std::shared_ptr<VirtualScanner> LoadVirtualScanner(const std::string& configPath,
                                                   std::shared_ptr<platform::VirtualClock> clock, std::string& error) {
    ScannerConfig config;
    if (!LoadScannerConfig(configPath, config, error)) return nullptr;
    return VirtualScanner::Create(config, std::move(clock), error);
}

std::shared_ptr<platform::DeviceBackend> MakeVirtualScannerBackend(std::shared_ptr<VirtualScanner> scanner) {
    if (!scanner) return nullptr;
    return std::make_shared<VirtualBackend>(std::move(scanner));
}

std::shared_ptr<platform::DeviceBackend> MakeVirtualScannerBackend(
    const std::string& configPath, std::shared_ptr<platform::VirtualClock> clock, std::string& error) {
    return MakeVirtualScannerBackend(LoadVirtualScanner(configPath, std::move(clock), error));
}

}  // namespace ordavel::virtual_scanner
