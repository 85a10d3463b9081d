// The device lock on the device node, between two processes: a read-only file stands in for
// the node, as every user who may use the device can read its node but not write a file there.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include <sys/wait.h>
#include <unistd.h>

#include "platform/device_node_lock.h"
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

// A child process takes the lock and holds it until told to let go; meanwhile the parent (as
// another user of the device would) cannot have it, and gets it once the child released it.
TEST(DeviceNodeLock, ExcludesAnotherProcessUntilReleasedEvenOnAReadOnlyNode) {
    test::ScratchDir dir("nodelock");
    const std::string node = dir.write("node", "");
    fs::permissions(node, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);

    int held[2];
    int release[2];
    ASSERT_EQ(::pipe(held), 0);
    ASSERT_EQ(::pipe(release), 0);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        DeviceNodeLock lock(node);
        const char ok = lock.lock(2000) ? 'y' : 'n';
        (void)!::write(held[1], &ok, 1);
        char go = 0;
        (void)!::read(release[0], &go, 1);
        const bool unlocked = lock.unlock();
        ::_exit(unlocked ? 0 : 1);
    }
    char childHolds = 0;
    ASSERT_EQ(::read(held[0], &childHolds, 1), 1);
    ASSERT_EQ(childHolds, 'y');

    DeviceNodeLock mine(node);
    EXPECT_FALSE(mine.lock(20));  // held by the other process

    const char go = 'g';
    ASSERT_EQ(::write(release[1], &go, 1), 1);
    EXPECT_TRUE(mine.lock(2000));  // waits for the release
    EXPECT_TRUE(mine.unlock());

    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    for (int fd : {held[0], held[1], release[0], release[1]}) ::close(fd);
}

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
