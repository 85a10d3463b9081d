// The device lock on the device node, between processes and between users: every user who may
// use the device can open its node, but none can write a lock file of their own beside it.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include <memory>
#include <optional>

#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include "platform/device_node_lock.h"
#include "tests/support/child_process.h"
#include "tests/support/param_names.h"
#include "tests/support/scratch_files.h"

namespace ordavel::platform {
namespace {

namespace fs = std::filesystem;

TEST(DeviceNodeLock, NodePathIsTheUsbfsNodeOfBusAndAddress) {
    EXPECT_EQ(UsbDeviceNodePath(1, 4), "/dev/bus/usb/001/004");
    EXPECT_EQ(UsbDeviceNodePath(12, 127), "/dev/bus/usb/012/127");
}

TEST(DeviceNodeLock, ANodeThatCannotBeOpenedGivesNoLock) {
    test::ScratchDir dir("nodelock");
    DeviceNodeLock lock(dir.file("missing"));
    EXPECT_FALSE(lock.lock(0));
    EXPECT_FALSE(lock.unlock());
}

// Who holds the node and who wants it next. The node is a real character device node, as udev
// makes them, with the mode that lets both users open it; a read-only node is enough to lock.
struct TurnCase {
    const char* name;
    std::optional<unsigned> holder;     // the user of the process holding the lock; none: the test's
    std::optional<unsigned> contender;  // the user who waits for it and takes it next
    unsigned nodeMode;
};

void PrintTo(const TurnCase& c, std::ostream* os) { *os << c.name; }

class DeviceNodeLockTurns : public ::testing::TestWithParam<TurnCase> {};

// While one process holds the lock, another (of another user, perhaps) cannot have it; once the
// holder is gone the other takes it, and then the first user can have it again: two users take
// turns on one scanner.
TEST_P(DeviceNodeLockTurns, ExcludesTheOtherUserUntilReleasedThenChangesHands) {
    const TurnCase& c = GetParam();
    if ((c.holder || c.contender) && !test::RunningAsRoot()) GTEST_SKIP() << "needs root to act as other users";
    test::ScratchDir dir("nodelock");
    const std::string node = dir.file("node");
    if (test::RunningAsRoot()) {
        ASSERT_EQ(::mknod(node.c_str(), S_IFCHR | 0600, ::makedev(1, 3)), 0);  // the null device's numbers
    } else {
        dir.write("node", "");
    }
    ASSERT_EQ(::chmod(node.c_str(), c.nodeMode), 0);
    const auto takes = [&node](uint32_t timeoutMs) {
        return [&node, timeoutMs] {
            DeviceNodeLock lock(node);
            return lock.lock(timeoutMs) && lock.unlock() ? 0 : 1;
        };
    };
    auto holder = std::make_unique<test::HoldingChild>(
        // Never freed: the lock is held until the child is ended.
        [&node] { return (new DeviceNodeLock(node))->lock(2000); },
        c.holder);
    ASSERT_TRUE(holder->holding());
    EXPECT_EQ(test::RunInChild(takes(20), c.contender), 1) << "taken while another process held it";
    holder.reset();  // the holder's process ends, and its lock with it
    EXPECT_EQ(test::RunInChild(takes(2000), c.contender), 0) << "not taken once released";
    EXPECT_EQ(test::RunInChild(takes(0), c.holder), 0) << "the first user cannot have it back";
}

INSTANTIATE_TEST_SUITE_P(
    Users, DeviceNodeLockTurns,
    ::testing::Values(TurnCase{"OneUserInTwoProcessesOnAReadOnlyNode", std::nullopt, std::nullopt, 0444},
                      TurnCase{"RootThenAnotherUser", std::nullopt, test::kOtherUser, 0666},
                      TurnCase{"AnotherUserThenRoot", test::kOtherUser, std::nullopt, 0666},
                      TurnCase{"TwoUsersOnANodeTheyMayOnlyRead", test::kOtherUser, 60002u, 0444}),
    test::ReadableName{});

// Two users of the device in one process (two openings) exclude each other as well.
TEST(DeviceNodeLock, ExcludesASecondOpeningInTheSameProcess) {
    test::ScratchDir dir("nodelock");
    const std::string node = dir.write("node", "");
    DeviceNodeLock first(node);
    DeviceNodeLock second(node);
    ASSERT_TRUE(first.lock(0));
    EXPECT_FALSE(second.lock(0));
    EXPECT_TRUE(first.unlock());
    EXPECT_TRUE(second.lock(0));
}

}  // namespace
}  // namespace ordavel::platform
