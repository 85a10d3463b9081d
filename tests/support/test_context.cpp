// Fresh driver contexts over scratch directories, optionally with a scripted device, logging
// every reported status text.
#include "tests/support/test_context.h"

#include <algorithm>
#include <cstring>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "driver/device/transport.h"
#include "tests/support/test_paths.h"

namespace ordavel::test {

namespace {

// The status callback takes no context; the innermost context under test registers itself here
// (contexts nest: a test may make more inside a fixture's).
TestContext* g_recording = nullptr;

// The clock starts at one second: a tick count of 0 stands for "not yet taken" in places.
constexpr uint64_t kClockStartMicros = 1'000'000;

// The description's text fields hold the names as UTF-8; the test names are plain ASCII.
void CopyName(char (&field)[description::kTextFieldSize], const std::u16string& name) {
    std::string narrow;
    for (char16_t c : name) narrow += c < 0x80 ? static_cast<char>(c) : '?';
    std::strncpy(field, narrow.c_str(), sizeof field - 1);
}

}  // namespace

TestContext::TestContext(const std::string& tag) : TestContext(tag, kClockStartMicros) {}

TestContext::TestContext(const std::string& tag, uint64_t clockStartMicros)
    : temp_(tag + "-tmp"),
      work_(tag + "-cwd"),
      clock_(std::make_shared<platform::VirtualClock>(clockStartMicros)),
      devices_(std::make_shared<platform::DeviceList>()) {
    ctx_ = std::make_unique<DriverContext>(DriverEnvironment{clock_, devices_, temp_.path(), work_.path(), true});
    previous_ = g_recording;
    g_recording = this;
    ctx_->record.statusCallback = &TestContext::RecordStatus;
}

// The device layer's tests count time from 0.
TestContext::TestContext(const ScriptedDevice& device, const std::string& tag) : TestContext(tag, 0) {
    listScripted(device.vendor, device.product, "scripted-0");
    description::ScannerDescription& d = ctx_->description;
    d.Scanner_Length = device.scannerLength;
    d.Max_Speed = device.maxSpeed;
    CopyName(d.USB_Manufacturer, device.vendor);
    CopyName(d.USB_Device, device.product);
}

TestContext::~TestContext() {
    if (g_recording == this) g_recording = previous_;
    ctx_.reset();
}

int32_t TestContext::RecordStatus(int32_t kind) {
    if (kind == 0 && g_recording != nullptr) g_recording->messages_.emplace_back(g_recording->ctx_->record.messageText);
    return 0;
}

void TestContext::listScripted(const std::u16string& vendor, const std::u16string& product, const std::string& name) {
    pipe_ = std::make_shared<ScriptedPipe>(clock_);
    backend_ = std::make_shared<ScriptedBackend>();
    backend_->AddDevice(vendor, product, name, pipe_);
    devices_->addBackend(backend_);
    vendor_ = vendor;
    product_ = product;
}

ScriptedPipe& TestContext::AttachScanner() {
    listScripted(u"Mirt", u"Mirt Sheet Scanner", "mirt-0");
    return *pipe_;
}

bool TestContext::Open() { return device::Open(*ctx_, vendor_, product_); }

bool TestContext::reported(const std::string& text) const {
    return std::find(messages_.begin(), messages_.end(), text) != messages_.end();
}

void TestContext::installReferenceFiles(std::string_view descriptionName, bool copyDescription) {
    temp_.write("Mirt.def", "[SETUP]\nScannerFile=" + std::string(descriptionName) +
                                "\nDebug=0\nScan_Buffer_MBytes=8\n[TWAINSCAN]\nTwainScan=1\n");
    if (copyDescription) temp_.copyData(descriptionName, descriptionName);
}

void TestContext::installDescription(std::string_view content) {
    temp_.write("Mirt.def", "[SETUP]\nScannerFile=test.dsc\n");
    temp_.write("test.dsc", content);
}

void TestContext::writeSettings(const std::string& content) const { temp_.write("Mirt.def", content); }

void TestContext::writeNeutralCalibration() const {
    constexpr int kPixels = 1680;
    std::string coefficients = std::string("v2\n") + std::string("\x90\x06\0\0", 4);
    for (int i = 0; i < 3 * kPixels; ++i) coefficients += std::string("\x40\x00", 2);  // 1.0, high byte first
    temp_.write("cr.dat", coefficients);
    const std::string header = "v2\n1680\n0.00\n0\n4\n4\n100\n200\n200\n2\n";  // 33 bytes
    temp_.write("BlackFINE.PXL", header + std::string(2 * kPixels, '\0'));
}

std::string TestContext::readFile(const std::string& path) const { return ReadWholeFile(path); }

void TestContext::writeFile(const std::string& path, const std::string& content) const {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << content;
}

std::string ReferenceDescriptionWith(std::string_view key, const char* value, std::string_view dataName) {
    std::istringstream in(ReadWholeFile(DataDir() + "/" + std::string(dataName)));
    std::string out, line;
    bool found = false;
    const std::string prefix = std::string(key) + "=";
    while (std::getline(in, line)) {
        if (line.rfind(prefix, 0) == 0) {
            found = true;
            if (value == nullptr) continue;
            line = prefix + value;
        }
        out += line + "\n";
    }
    if (!found) throw std::runtime_error("reference description has no key " + std::string(key));
    return out;
}

}  // namespace ordavel::test
