// A fresh driver context for engine tests: virtual clock, no devices, a scratch temporary
// directory that is removed with the context.
#pragma once

#include <filesystem>
#include <memory>
#include <string>

#include "driver/interface/driver_context.h"
#include "tests/support/test_paths.h"

namespace ordavel::engine::test {

class EngineTestContext {
public:
    explicit EngineTestContext(const std::string& tag)
        : clock_(std::make_shared<platform::VirtualClock>(1000000)),
          dir_(ordavel::test::MakeScratchDir(tag)),
          ctx_(std::make_unique<DriverContext>(
              DriverEnvironment{clock_, std::make_shared<platform::DeviceList>(), dir_, dir_})) {}
    ~EngineTestContext() {
        ctx_.reset();
        std::error_code ec;
        std::filesystem::remove_all(dir_, ec);
    }

    DriverContext& operator*() { return *ctx_; }
    DriverContext* operator->() { return ctx_.get(); }
    platform::VirtualClock& clock() { return *clock_; }
    const std::string& dir() const { return dir_; }

private:
    std::shared_ptr<platform::VirtualClock> clock_;
    std::string dir_;
    std::unique_ptr<DriverContext> ctx_;
};

}  // namespace ordavel::engine::test
