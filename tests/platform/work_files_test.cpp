// Work files: created afresh with the owner's permissions only; unique temporary names.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "platform/work_files.h"
#include "tests/support/test_paths.h"

namespace ordavel::platform {
namespace {

namespace fs = std::filesystem;

TEST(WorkFiles, CreateReplacesAnOldFileWithAnEmptyOneOnlyTheOwnerMayUse) {
    const std::string dir = test::MakeScratchDir("workfiles");
    const std::string path = dir + "/scan.pxl";
    std::ofstream(path) << "old content";
    fs::permissions(path, fs::perms::all);
    std::FILE* file = CreateOwnerFile(path);
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(std::fputs("v2\n", file) >= 0, true);
    std::fclose(file);
    EXPECT_EQ(fs::file_size(path), 3u);
    EXPECT_EQ(fs::status(path).permissions() & fs::perms::all, fs::perms::owner_read | fs::perms::owner_write);
    EXPECT_EQ(CreateOwnerFile(dir + "/missing/scan.pxl"), nullptr);
    fs::remove_all(dir);
}

TEST(WorkFiles, UniqueTemporaryNamesAreNewFilesInTheDirectory) {
    const std::string dir = test::MakeScratchDir("workfiles");
    const std::string a = UniqueTemporaryFile(dir, "");
    const std::string b = UniqueTemporaryFile(dir, "");
    ASSERT_FALSE(a.empty());
    EXPECT_NE(a, b);
    EXPECT_EQ(fs::path(a).parent_path(), fs::path(dir));
    EXPECT_TRUE(fs::exists(a));
    EXPECT_TRUE(UniqueTemporaryFile(dir + "/missing", "").empty());
    fs::remove_all(dir);
}

}  // namespace
}  // namespace ordavel::platform
