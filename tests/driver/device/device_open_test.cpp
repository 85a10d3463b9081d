// Opening the scanner among the listed devices (case-insensitive names, list order, the first
// device that opens wins) and closing the connection.
#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "driver/device/transport.h"
#include "tests/support/test_context.h"

namespace ordavel::test {
namespace {

struct Listed {
    std::u16string vendor;
    std::u16string product;
    bool opens;
};

struct OpenCase {
    const char* name;
    std::vector<Listed> devices;
    std::u16string vendor;
    std::u16string product;
    int opened;  // index of the device that must end up open, -1 for none
    std::vector<int> attempts;
};

// The rig lists its own device first; the case's devices follow, named "d0", "d1", ...
class OpenMatchTest : public ::testing::TestWithParam<OpenCase> {};

TEST_P(OpenMatchTest, OpensTheFirstMatchingDeviceThatOpens) {
    const OpenCase& c = GetParam();
    TestContext rig(ScriptedDevice{.vendor = u"Other Vendor", .product = u"Other Scanner"});
    std::vector<std::shared_ptr<ScriptedPipe>> pipes;
    std::vector<std::string> expectedAttempts;
    for (std::size_t i = 0; i < c.devices.size(); ++i) {
        pipes.push_back(std::make_shared<ScriptedPipe>());
        rig.backend().AddDevice(c.devices[i].vendor, c.devices[i].product, "d" + std::to_string(i),
                                c.devices[i].opens ? pipes.back() : nullptr);
    }
    for (int i : c.attempts) expectedAttempts.push_back("d" + std::to_string(i));

    EXPECT_EQ(device::Open(rig.ctx(), c.vendor, c.product), c.opened >= 0);
    EXPECT_EQ(device::IsOpen(rig.ctx()), c.opened >= 0);
    EXPECT_EQ(rig.backend().OpenAttempts(), expectedAttempts);
    for (std::size_t i = 0; i < pipes.size(); ++i) {
        EXPECT_EQ(pipes[i]->OpenPipes(), static_cast<int>(i) == c.opened ? 1u : 0u) << "device " << i;
    }
    EXPECT_EQ(rig.ctx().connection.deviceList.size(), c.devices.size() + 1);
}

const std::u16string kV = u"Test Vendor";
const std::u16string kP = u"Test Scanner";

INSTANTIATE_TEST_SUITE_P(
    Lists, OpenMatchTest,
    ::testing::Values(
        OpenCase{"ExactNames", {{kV, kP, true}}, kV, kP, 0, {0}},
        OpenCase{"CaseDiffers", {{u"TEST VENDOR", u"test scanner", true}}, kV, kP, 0, {0}},
        OpenCase{"NonAsciiCaseDiffers", {{u"Сканер Ä", u"Σκ", true}}, u"сканер ä", u"σΚ", 0, {0}},
        OpenCase{"FirstOfTwoMatches", {{kV, kP, true}, {kV, kP, true}}, kV, kP, 0, {0}},
        OpenCase{"FailingCreateGoesOn", {{kV, kP, false}, {kV, u"x", true}, {kV, kP, true}}, kV, kP, 2, {0, 2}},
        OpenCase{"VendorMustMatchToo", {{u"Test Vendors", kP, true}, {kV, kP + u" 2", true}}, kV, kP, -1, {}},
        OpenCase{"NoneOpens", {{kV, kP, false}, {kV, kP, false}}, kV, kP, -1, {0, 1}},
        OpenCase{"EmptyList", {}, kV, kP, -1, {}}),
    [](const auto& test) { return std::string(test.param.name); });

TEST(DeviceOpen, DevicesOfLaterBackendsAreFoundInListOrder) {
    TestContext rig{ScriptedDevice{}};
    auto second = std::make_shared<ScriptedBackend>();
    auto pipe = std::make_shared<ScriptedPipe>();
    second->AddDevice(u"Test Vendor", u"Test Scanner", "later", pipe);
    rig.ctx().devices().addBackend(second);

    rig.backend().AddDevice(u"Test Vendor", u"Test Scanner", "broken", nullptr);
    ASSERT_TRUE(rig.Open());
    EXPECT_EQ(rig.pipe().OpenPipes(), 1u);  // the first backend's device comes first
    EXPECT_EQ(pipe->OpenPipes(), 0u);
}

TEST(DeviceOpen, OpenClosesTheConnectionFirst) {
    TestContext rig{ScriptedDevice{}};
    ASSERT_TRUE(rig.Open());
    EXPECT_FALSE(device::Open(rig.ctx(), u"Missing", u"Device"));
    EXPECT_FALSE(device::IsOpen(rig.ctx()));
    EXPECT_EQ(rig.pipe().OpenPipes(), 0u);
}

TEST(DeviceOpen, CloseReleasesTheDeviceAndTheList) {
    TestContext rig{ScriptedDevice{}};
    ASSERT_TRUE(rig.Open());
    ASSERT_EQ(rig.pipe().OpenPipes(), 1u);
    EXPECT_TRUE(device::Close(rig.ctx()));
    EXPECT_FALSE(device::IsOpen(rig.ctx()));
    EXPECT_EQ(rig.pipe().OpenPipes(), 0u);
    EXPECT_TRUE(rig.ctx().connection.deviceList.empty());
    EXPECT_TRUE(device::Close(rig.ctx()));
    uint8_t value = 0;
    EXPECT_FALSE(device::ReadRegister(rig.ctx(), 0x02, value));
    EXPECT_EQ(rig.pipe().CallTrace(), "");
}

}  // namespace
}  // namespace ordavel::test
