// The driver's per-user state directory: where it is found, how it is made, and the directories
// it refuses to use.
#include "platform/state_dir.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/temp_dir.h"
#include "tests/support/scratch_files.h"

namespace ordavel::platform {
namespace {

namespace fs = std::filesystem;

// The variables the directory depends on, restored after each test.
class StateDirEnvironment : public ::testing::Test {
protected:
    void SetUp() override {
        for (const char* name : kNames) {
            const char* value = std::getenv(name);
            saved_.push_back(value != nullptr ? std::optional<std::string>(value) : std::nullopt);
            ::unsetenv(name);
        }
    }
    void TearDown() override {
        for (std::size_t i = 0; i < saved_.size(); ++i) {
            if (saved_[i]) {
                ::setenv(kNames[i], saved_[i]->c_str(), 1);
            } else {
                ::unsetenv(kNames[i]);
            }
        }
    }
    static void Set(const char* name, const std::string& value) { ::setenv(name, value.c_str(), 1); }
    static unsigned ModeOf(const std::string& path) {
        struct stat info {};
        EXPECT_EQ(::lstat(path.c_str(), &info), 0) << path;
        return info.st_mode & 07777;
    }

    test::ScratchDir scratch_{"statedir"};

private:
    static constexpr const char* kNames[] = {"MIRT_STATE_DIR", "XDG_STATE_HOME", "HOME", "TMPDIR"};
    std::vector<std::optional<std::string>> saved_;
};

struct LocationCase {
    const char* name;
    const char* override;  // MIRT_STATE_DIR
    const char* xdg;       // XDG_STATE_HOME
    const char* expected;  // relative to HOME=/home/u unless absolute
};

class StateDirLocation : public StateDirEnvironment, public ::testing::WithParamInterface<LocationCase> {};

TEST_P(StateDirLocation, FollowsTheOverrideThenXdgThenHome) {
    const LocationCase& c = GetParam();
    Set("HOME", "/home/u");
    Set("TMPDIR", "/var/tmp/elsewhere");  // never where the driver's files go
    if (c.override != nullptr) Set("MIRT_STATE_DIR", c.override);
    if (c.xdg != nullptr) Set("XDG_STATE_HOME", c.xdg);
    EXPECT_EQ(StateDirectoryPath(), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Variables, StateDirLocation,
    ::testing::Values(LocationCase{"OverrideWins", "/srv/scan", "/x/state", "/srv/scan"},
                      LocationCase{"EmptyOverrideIsUnset", "", "/x/state", "/x/state/mirt"},
                      LocationCase{"XdgStateHome", nullptr, "/x/state", "/x/state/mirt"},
                      LocationCase{"RelativeXdgIsIgnored", nullptr, "rel/state", "/home/u/.local/state/mirt"},
                      LocationCase{"DefaultUnderHome", nullptr, nullptr, "/home/u/.local/state/mirt"}),
    [](const auto& param) { return std::string(param.param.name); });

TEST_F(StateDirEnvironment, IsCreatedPrivateWithItsParents) {
    Set("XDG_STATE_HOME", scratch_.file("home/.local/state"));
    std::string error;
    const std::string dir = SystemTemporaryDirectory(error);
    ASSERT_EQ(dir, scratch_.file("home/.local/state/mirt")) << error;
    EXPECT_EQ(ModeOf(dir), 0700u);
    EXPECT_EQ(ModeOf(scratch_.file("home/.local")), 0700u);
    // Used again as it is.
    EXPECT_EQ(SystemTemporaryDirectory(), dir);
}

struct RefusalCase {
    const char* name;
    void (*plant)(const std::string& dir, const std::string& elsewhere);
    const char* reason;
};

class StateDirRefusal : public StateDirEnvironment, public ::testing::WithParamInterface<RefusalCase> {};

TEST_P(StateDirRefusal, IsNotUsed) {
    const std::string dir = scratch_.file("state");
    const std::string elsewhere = scratch_.file("elsewhere");
    fs::create_directory(elsewhere);
    GetParam().plant(dir, elsewhere);
    Set("MIRT_STATE_DIR", dir);
    std::string error;
    EXPECT_EQ(SystemTemporaryDirectory(error), "");
    EXPECT_NE(error.find(GetParam().reason), std::string::npos) << error;
}

INSTANTIATE_TEST_SUITE_P(
    Plantings, StateDirRefusal,
    ::testing::Values(
        RefusalCase{"LinkToAnotherDirectory",
                    [](const std::string& dir, const std::string& elsewhere) { fs::create_directory_symlink(elsewhere, dir); },
                    "not a directory of its own"},
        RefusalCase{"PlainFile", [](const std::string& dir, const std::string&) { ::close(::creat(dir.c_str(), 0600)); },
                    "not a directory of its own"},
        RefusalCase{"LinkAmongItsFiles",
                    [](const std::string& dir, const std::string& elsewhere) {
                        fs::create_directory(dir);
                        ::chmod(dir.c_str(), 0700);
                        fs::create_symlink(elsewhere + "/cr.dat", dir + "/cr.dat");
                    },
                    "cr.dat is a symbolic link"},
        RefusalCase{"WritableByOthers",
                    [](const std::string& dir, const std::string&) {
                        fs::create_directory(dir);
                        ::chmod(dir.c_str(), 01777);
                    },
                    "may be written by other users"}),
    [](const auto& param) { return std::string(param.param.name); });

TEST_F(StateDirEnvironment, RelativeOverrideIsRefusedAndNothingIsCreated) {
    const fs::path before = fs::current_path();
    fs::current_path(scratch_.path());
    Set("MIRT_STATE_DIR", "state");
    std::string error;
    EXPECT_EQ(SystemTemporaryDirectory(error), "");
    EXPECT_NE(error.find("the state directory state is not an absolute path"), std::string::npos) << error;
    EXPECT_FALSE(fs::exists(scratch_.file("state")));
    fs::current_path(before);
}

TEST_F(StateDirEnvironment, OfAnotherUserIsNotUsed) {
    if (::geteuid() != 0) GTEST_SKIP() << "needs root to give a directory away";
    const std::string dir = scratch_.file("theirs");
    fs::create_directory(dir);
    ASSERT_EQ(::chown(dir.c_str(), 65534, 65534), 0);
    ::chmod(dir.c_str(), 0700);
    Set("MIRT_STATE_DIR", dir);
    std::string error;
    EXPECT_EQ(SystemTemporaryDirectory(error), "");
    EXPECT_NE(error.find("belongs to another user"), std::string::npos) << error;
}

TEST_F(StateDirEnvironment, PathOfExactly260IsAcceptedLongerIsNotCreated) {
    // Built from 200-character components, which every file system takes.
    std::string ok = scratch_.path();
    while (ok.size() + 201 <= 260) ok += "/" + std::string(200, 'd');
    ok += "/" + std::string(260 - ok.size() - 1, 'e');
    ASSERT_EQ(ok.size(), 260u);
    Set("MIRT_STATE_DIR", ok);
    EXPECT_EQ(SystemTemporaryDirectory(), ok);
    const std::string tooLong = ok + "/x";
    Set("MIRT_STATE_DIR", tooLong);
    EXPECT_EQ(SystemTemporaryDirectory(), "");
    EXPECT_FALSE(fs::exists(tooLong));
}

}  // namespace
}  // namespace ordavel::platform
