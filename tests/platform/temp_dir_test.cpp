// The temporary directory: TMPDIR, its fallback and the 260-character limit.
#include "platform/temp_dir.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

namespace ordavel::platform {
namespace {

class TempDirEnv : public ::testing::Test {
protected:
    void SetUp() override {
        const char* old = std::getenv("TMPDIR");
        had_ = old != nullptr;
        if (had_) old_ = old;
    }
    void TearDown() override {
        if (had_) {
            ::setenv("TMPDIR", old_.c_str(), 1);
        } else {
            ::unsetenv("TMPDIR");
        }
    }

private:
    bool had_ = false;
    std::string old_;
};

TEST_F(TempDirEnv, UsesTmpdirWhenSet) {
    ::setenv("TMPDIR", "/some/where", 1);
    EXPECT_EQ(SystemTemporaryDirectory(), "/some/where");
}

TEST_F(TempDirEnv, FallsBackToTmpWhenUnsetOrEmpty) {
    ::unsetenv("TMPDIR");
    EXPECT_EQ(SystemTemporaryDirectory(), "/tmp");
    ::setenv("TMPDIR", "", 1);
    EXPECT_EQ(SystemTemporaryDirectory(), "/tmp");
}

TEST_F(TempDirEnv, PathOfExactly260IsAcceptedLongerIsNot) {
    const std::string ok = "/" + std::string(259, 'd');
    ::setenv("TMPDIR", ok.c_str(), 1);
    EXPECT_EQ(SystemTemporaryDirectory(), ok);
    const std::string tooLong = ok + "x";
    ::setenv("TMPDIR", tooLong.c_str(), 1);
    EXPECT_EQ(SystemTemporaryDirectory(), "");
}

}  // namespace
}  // namespace ordavel::platform
