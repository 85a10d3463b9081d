// Fresh driver contexts for tests: a virtual clock, an empty device list and a scratch
// temporary directory that can be filled with the driver's files.
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "driver/interface/driver_context.h"
#include "platform/clock.h"
#include "tests/support/scratch_files.h"

namespace ordavel::test {

class TestDriver {
public:
    explicit TestDriver(const std::string& tag = "driver");

    DriverContext& ctx() { return *ctx_; }
    const ScratchDir& temp() const { return temp_; }
    platform::VirtualClock& clock() { return *clock_; }

    // Writes "Mirt.def" naming `descriptionName`, and copies the shipped description of that
    // name from data/ unless `copyDescription` is false.
    void installReferenceFiles(std::string_view descriptionName = "Mirt9832.dsc", bool copyDescription = true);
    // Writes "Mirt.def" naming "test.dsc" and `content` as that description.
    void installDescription(std::string_view content);
    // A fresh context over the same temporary directory (state reset, files kept).
    void restart();

private:
    ScratchDir temp_;
    std::shared_ptr<platform::VirtualClock> clock_;
    std::unique_ptr<DriverContext> ctx_;
};

// The shipped reference description text with one key's line changed. `value` nullptr removes
// the line; otherwise the line becomes "key=value".
std::string ReferenceDescriptionWith(std::string_view key, const char* value,
                                     std::string_view dataName = "Mirt9832.dsc");

}  // namespace ordavel::test
