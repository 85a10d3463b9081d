// Fresh driver contexts over scratch temporary directories.
#include "tests/support/test_context.h"

#include <sstream>
#include <stdexcept>

#include "tests/support/test_paths.h"

namespace ordavel::test {

TestDriver::TestDriver(const std::string& tag) : temp_(tag) { restart(); }

void TestDriver::restart() {
    ctx_.reset();
    clock_ = std::make_shared<platform::VirtualClock>();
    DriverEnvironment env;
    env.clock = clock_;
    env.devices = std::make_shared<platform::DeviceList>();
    env.tempDirectory = temp_.path();
    env.workingDirectory = temp_.path();
    env.utf8StatusTexts = true;  // texts compared with the driver's literals
    ctx_ = std::make_unique<DriverContext>(std::move(env));
}

void TestDriver::installReferenceFiles(std::string_view descriptionName, bool copyDescription) {
    temp_.write("Mirt.def", "[SETUP]\nScannerFile=" + std::string(descriptionName) +
                                "\nDebug=0\nScan_Buffer_MBytes=8\n[TWAINSCAN]\nTwainScan=1\n");
    if (copyDescription) temp_.copyData(descriptionName, descriptionName);
}

void TestDriver::installDescription(std::string_view content) {
    temp_.write("Mirt.def", "[SETUP]\nScannerFile=test.dsc\n");
    temp_.write("test.dsc", content);
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
