// A driver context in scratch directories that logs every reported status text.
#include "tests/support/scratch_context.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "tests/support/test_paths.h"

namespace ordavel::test {

namespace {
// The status callback takes no context; the innermost context under test registers itself here
// (contexts nest: a test may make more inside a fixture's).
ScratchContext* g_recording = nullptr;
}  // namespace

ScratchContext::ScratchContext(const std::string& tag)
    : root_(MakeScratchDir(tag)),
      tempDir_(root_ + "/tmp"),
      workDir_(root_ + "/cwd"),
      clock_(std::make_shared<platform::VirtualClock>(1000000)),
      devices_(std::make_shared<platform::DeviceList>()) {
    std::filesystem::create_directories(tempDir_);
    std::filesystem::create_directories(workDir_);
    ctx_ = std::make_unique<DriverContext>(DriverEnvironment{clock_, devices_, tempDir_, workDir_, true});
    previous_ = g_recording;
    g_recording = this;
    ctx_->record.statusCallback = &ScratchContext::RecordStatus;
}

ScratchContext::~ScratchContext() {
    if (g_recording == this) g_recording = previous_;
    ctx_.reset();
    std::error_code ec;
    std::filesystem::remove_all(root_, ec);
}

int32_t ScratchContext::RecordStatus(int32_t kind) {
    if (kind == 0 && g_recording != nullptr) {
        g_recording->messages_.emplace_back(g_recording->ctx_->record.messageText);
    }
    return 0;
}

ScriptedPipe& ScratchContext::AttachScanner() {
    scanner_ = std::make_shared<ScriptedPipe>(clock_);
    auto backend = std::make_shared<ScriptedBackend>();
    backend->AddDevice(u"Mirt", u"Mirt Sheet Scanner", "mirt-0", scanner_);
    devices_->addBackend(backend);
    return *scanner_;
}

bool ScratchContext::reported(const std::string& text) const {
    return std::find(messages_.begin(), messages_.end(), text) != messages_.end();
}

void ScratchContext::writeSettings(const std::string& content) const {
    writeFile(tempDir_ + "/Mirt.def", content);
}

void ScratchContext::writeNeutralCalibration() const {
    constexpr int kPixels = 1680;
    std::string coefficients = std::string("v2\n") + std::string("\x90\x06\0\0", 4);
    for (int i = 0; i < 3 * kPixels; ++i) coefficients += std::string("\x40\x00", 2);  // 1.0, high byte first
    writeFile(tempDir_ + "/cr.dat", coefficients);
    const std::string header = "v2\n1680\n0.00\n0\n4\n4\n100\n200\n200\n2\n";  // 33 bytes
    writeFile(tempDir_ + "/BlackFINE.PXL", header + std::string(2 * kPixels, '\0'));
}

std::string ScratchContext::readFile(const std::string& path) const {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

void ScratchContext::writeFile(const std::string& path, const std::string& content) const {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << content;
}

}  // namespace ordavel::test
