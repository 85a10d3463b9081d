// The driver's files in a directory other processes and other users share: nothing is written
// through a link another user planted, the lock serialises processes of every user, and only the
// temporaries of killed writers are cleaned up.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <cstdio>
#include <functional>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "platform/atomic_file.h"
#include "platform/directory_lock.h"
#include "platform/profile.h"
#include "platform/work_files.h"
#include "tests/support/child_process.h"
#include "tests/support/scratch_files.h"

#include <unistd.h>

namespace ordavel::platform {
namespace {

namespace fs = std::filesystem;
using test::HoldingChild;
using test::kOtherUser;
using test::RunInChild;

// A sticky directory every user may write to, as /tmp is, with a file of ours elsewhere.
class SharedDirectory : public ::testing::Test {
protected:
    SharedDirectory() : scratch_("shared") {
        fs::create_directory(shared());
        fs::permissions(shared(), fs::perms::all | fs::perms::sticky_bit);
        fs::permissions(scratch_.path(), fs::perms::owner_all | fs::perms::others_exec | fs::perms::group_exec);
        victimFile_ = scratch_.write("private.txt", "the victim's own data\n");
    }
    std::string shared() const { return scratch_.file("shared"); }
    std::string inShared(const std::string& name) const { return shared() + "/" + name; }

    test::ScratchDir scratch_;
    std::string victimFile_;
};

struct PlantedLinkCase {
    const char* name;
    const char* file;
    std::function<void(const std::string& path)> write;
    friend void PrintTo(const PlantedLinkCase& c, std::ostream* os) { *os << c.name; }
};

class PlantedLink : public SharedDirectory, public ::testing::WithParamInterface<PlantedLinkCase> {};

TEST_P(PlantedLink, NothingIsWrittenThroughALinkAnotherUserPlanted) {
    if (!test::RunningAsRoot()) GTEST_SKIP() << "needs root to act as a second user";
    const std::string path = inShared(GetParam().file);
    const std::string target = victimFile_;
    ASSERT_EQ(RunInChild([&] { return ::symlink(target.c_str(), path.c_str()) == 0 ? 0 : 1; }, kOtherUser), 0);
    GetParam().write(path);
    EXPECT_EQ(test::ReadWholeFile(victimFile_), "the victim's own data\n");
    // Whatever stands at the name now is no way into the victim's data.
    if (fs::is_regular_file(fs::symlink_status(path))) {
        EXPECT_EQ(test::ReadWholeFile(path).find("victim"), std::string::npos);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Writers, PlantedLink,
    ::testing::Values(
        PlantedLinkCase{"WorkFile", "finalscn.pxl",
                        [](const std::string& p) {
                            if (std::FILE* f = CreateOwnerFile(p)) {
                                std::fputs("scan data", f);
                                std::fclose(f);
                            }
                        }},
        PlantedLinkCase{"ProfileKey", "Mirt.def",
                        [](const std::string& p) { EXPECT_FALSE(WriteProfileString(p, "GAIN_OFFSET", "looplines", "31")); }},
        PlantedLinkCase{"WholeFile", "calibration.commit",
                        [](const std::string& p) { EXPECT_FALSE(WriteFileAtomically(p, "[FILES]\n")); }}),
    [](const auto& param) { return std::string(param.param.name); });

TEST_F(SharedDirectory, TheLockFileOfOneUserLocksForEveryUser) {
    if (!test::RunningAsRoot()) GTEST_SKIP() << "needs root to act as a second user";
    const std::string lockPath = inShared("Mirt.lock");
    {
        auto mine = DirectoryLock::Acquire(lockPath, LockMode::Shared, 0);
        ASSERT_TRUE(mine);
    }
    // Another user shares it, and is kept out while we hold it alone.
    EXPECT_EQ(RunInChild([&] { return DirectoryLock::Acquire(lockPath, LockMode::Shared, 0) ? 0 : 1; }, kOtherUser), 0);
    {
        auto mine = DirectoryLock::Acquire(lockPath, LockMode::Exclusive, 0);
        ASSERT_TRUE(mine);
        EXPECT_EQ(RunInChild([&] { return DirectoryLock::Acquire(lockPath, LockMode::Shared, 20) ? 0 : 1; }, kOtherUser), 1);
    }
    // A link planted in its place is never opened as the lock.
    fs::remove(lockPath);
    const std::string target = victimFile_;
    ASSERT_EQ(RunInChild([&] { return ::symlink(target.c_str(), lockPath.c_str()) == 0 ? 0 : 1; }, kOtherUser), 0);
    EXPECT_FALSE(DirectoryLock::Acquire(lockPath, LockMode::Shared, 0));
}

struct LockCase {
    const char* name;
    LockMode held;
    LockMode wanted;
    bool granted;
    friend void PrintTo(const LockCase& c, std::ostream* os) { *os << c.name; }
};

class LockBetweenProcesses : public SharedDirectory, public ::testing::WithParamInterface<LockCase> {};

TEST_P(LockBetweenProcesses, ScansShareAndCalibrationRunsAlone) {
    const std::string lockPath = inShared("Mirt.lock");
    std::optional<DirectoryLock> childLock;
    HoldingChild other([&] {
        childLock = DirectoryLock::Acquire(lockPath, GetParam().held, 0);
        return childLock.has_value();
    });
    ASSERT_TRUE(other.holding());
    EXPECT_EQ(DirectoryLock::Acquire(lockPath, GetParam().wanted, 20).has_value(), GetParam().granted);
}

INSTANTIATE_TEST_SUITE_P(Modes, LockBetweenProcesses,
                         ::testing::Values(LockCase{"ScanBesideScan", LockMode::Shared, LockMode::Shared, true},
                                           LockCase{"CalibrationBesideScan", LockMode::Shared, LockMode::Exclusive, false},
                                           LockCase{"ScanBesideCalibration", LockMode::Exclusive, LockMode::Shared, false}),
                         [](const auto& param) { return std::string(param.param.name); });

struct TemporaryCase {
    const char* name;
    const char* file;
    bool old;        // unmodified for longer than the grace
    bool heldLive;   // a live process holds it locked, as a writer does
    bool otherUser;  // owned by another user
    bool removed;
    friend void PrintTo(const TemporaryCase& c, std::ostream* os) { *os << c.name; }
};

class StrayTemporaries : public SharedDirectory, public ::testing::WithParamInterface<TemporaryCase> {};

TEST_P(StrayTemporaries, OnlyStaleOnesOfOursAreRemoved) {
    const TemporaryCase& c = GetParam();
    if (c.otherUser && !test::RunningAsRoot()) GTEST_SKIP() << "needs root to act as a second user";
    const std::string path = inShared(c.file);
    if (c.otherUser) {
        ASSERT_EQ(RunInChild([&] { return std::fopen(path.c_str(), "w") != nullptr ? 0 : 1; }, kOtherUser), 0);
    } else {
        scratch_.write("shared/" + std::string(c.file), "half written");
    }
    if (c.old) fs::last_write_time(path, fs::file_time_type::clock::now() - std::chrono::hours(1));
    // A writer holds its temporary under an exclusive lock from creation to rename.
    std::optional<DirectoryLock> writerLock;
    std::optional<HoldingChild> writer;
    if (c.heldLive) {
        writer.emplace([&] {
            writerLock = DirectoryLock::Acquire(path, LockMode::Exclusive, 0);
            return writerLock.has_value();
        });
        ASSERT_TRUE(writer->holding());
    }
    const std::string_view bases[] = {"Mirt.def", "calibration.commit"};
    RemoveStaleTemporaries(shared(), bases);
    EXPECT_EQ(!fs::exists(fs::symlink_status(path)), c.removed);
}

INSTANTIATE_TEST_SUITE_P(
    Files, StrayTemporaries,
    ::testing::Values(TemporaryCase{"ProfileTemporaryOfAKilledWriter", "Mirt.def.a1B2c3", true, false, false, true},
                      TemporaryCase{"PartialFileOfAKilledWriter", "gamma_8.gam.partial", true, false, false, true},
                      TemporaryCase{"CommitTemporaryOfAKilledWriter", "calibration.commit.Zz9y8X", true, false, false, true},
                      TemporaryCase{"TemporaryALiveWriterHolds", "Mirt.def.a1B2c3", true, true, false, false},
                      TemporaryCase{"TemporaryJustCreated", "Mirt.def.a1B2c3", false, false, false, false},
                      TemporaryCase{"AnotherUsersTemporary", "Mirt.def.a1B2c3", true, false, true, false},
                      TemporaryCase{"NotATemporaryName", "Mirt.def.bak", true, false, false, false},
                      TemporaryCase{"TheSettingsFileItself", "Mirt.def", true, false, false, false}),
    [](const auto& param) { return std::string(param.param.name); });

}  // namespace
}  // namespace ordavel::platform
