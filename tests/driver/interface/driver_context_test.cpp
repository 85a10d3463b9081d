// Tearing down a driver context with the device open: the connection is closed while the
// device backend it came from still exists (a USB backend exits its library when destroyed,
// and a pipe closed after that would use freed library state).
#include <gtest/gtest.h>

#include <memory>

#include "driver/device/transport.h"
#include "driver/interface/driver_context.h"
#include "tests/support/scripted_pipe.h"

namespace ordavel {
namespace {

// Lists the scripted scanner and, when destroyed, notes how many of its pipes were still open,
// as a library that frees its devices on exit would find them.
class BackendNotingOpenPipes final : public platform::DeviceBackend {
public:
    BackendNotingOpenPipes(std::shared_ptr<test::ScriptedPipe> device, std::size_t& openAtExit)
        : device_(std::move(device)), openAtExit_(openAtExit) {
        inner_.AddDevice(u"Maker", u"Scanner", "dev", device_);
    }
    ~BackendNotingOpenPipes() override { openAtExit_ = device_->OpenPipes(); }
    std::vector<platform::DeviceInfo> devices() override { return inner_.devices(); }
    std::unique_ptr<platform::RawPipe> open(const std::string& name) override { return inner_.open(name); }

private:
    test::ScriptedBackend inner_;
    std::shared_ptr<test::ScriptedPipe> device_;
    std::size_t& openAtExit_;
};

TEST(DriverContext, ClosesTheDeviceBeforeItsBackendGoes) {
    auto device = std::make_shared<test::ScriptedPipe>();
    std::size_t openAtExit = 99;
    {
        DriverEnvironment env;
        env.clock = std::make_shared<platform::VirtualClock>();
        env.devices = std::make_shared<platform::DeviceList>();
        env.devices->addBackend(std::make_shared<BackendNotingOpenPipes>(device, openAtExit));
        DriverContext ctx(std::move(env));  // the only owner of the backend
        ASSERT_TRUE(device::Open(ctx, u"Maker", u"Scanner"));
        ASSERT_EQ(device->OpenPipes(), 1u);
    }
    EXPECT_EQ(openAtExit, 0u);
    EXPECT_EQ(device->OpenPipes(), 0u);
}

}  // namespace
}  // namespace ordavel
