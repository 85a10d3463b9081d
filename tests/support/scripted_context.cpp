// A fresh driver context on a scripted device and a virtual clock.
#include "tests/support/scripted_context.h"

#include <cstring>
#include <filesystem>

#include "driver/device/transport.h"
#include "tests/support/test_paths.h"

namespace ordavel::test {

namespace {

// The description's text fields hold the names as UTF-8; the test names are plain ASCII.
void CopyName(char (&field)[description::kTextFieldSize], const std::u16string& name) {
    std::string narrow;
    for (char16_t c : name) narrow += c < 0x80 ? static_cast<char>(c) : '?';
    std::strncpy(field, narrow.c_str(), sizeof field - 1);
}

}  // namespace

ScriptedContext::ScriptedContext(ScriptedContextOptions options)
    : options_(std::move(options)),
      clock_(std::make_shared<platform::VirtualClock>()),
      pipe_(std::make_shared<ScriptedPipe>(clock_)),
      backend_(std::make_shared<ScriptedBackend>()),
      scratchDir_(MakeScratchDir("device")) {
    backend_->AddDevice(options_.vendor, options_.product, "scripted-0", pipe_);
    auto devices = std::make_shared<platform::DeviceList>();
    devices->addBackend(backend_);
    ctx_ = std::make_unique<DriverContext>(DriverEnvironment{clock_, devices, scratchDir_, scratchDir_, true});
    description::ScannerDescription& d = ctx_->description;
    d.Scanner_Length = options_.scannerLength;
    d.Max_Speed = options_.maxSpeed;
    CopyName(d.USB_Manufacturer, options_.vendor);
    CopyName(d.USB_Device, options_.product);
}

ScriptedContext::~ScriptedContext() {
    ctx_.reset();
    std::error_code ignored;
    std::filesystem::remove_all(scratchDir_, ignored);
}

bool ScriptedContext::Open() { return device::Open(*ctx_, options_.vendor, options_.product); }

}  // namespace ordavel::test
