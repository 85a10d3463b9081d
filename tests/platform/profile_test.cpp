// Profile files: lookup rules, the integer rule and in-place atomic writes.
#include "platform/profile.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include <sys/stat.h>

#include "tests/support/scratch_files.h"

namespace ordavel::platform {
namespace {

using test::ReadWholeFile;
using test::ScratchDir;

struct LookupCase {
    const char* name;
    std::string text;
    const char* section;
    const char* key;
    std::optional<std::string> expected;
};

class ProfileLookup : public ::testing::TestWithParam<LookupCase> {};

TEST_P(ProfileLookup, FindsValueByTheProfileRules) {
    const auto& c = GetParam();
    ScratchDir dir("profile");
    const auto path = dir.write("a.ini", c.text);
    EXPECT_EQ(ReadProfileString(path, c.section, c.key), c.expected);
    EXPECT_EQ(ProfileFile::FromText(c.text).value(c.section, c.key), c.expected);
}

const std::string kLong300(300, 'v');

INSTANTIATE_TEST_SUITE_P(
    Rules, ProfileLookup,
    ::testing::Values(
        LookupCase{"Plain", "[S]\nKey=value\n", "S", "Key", "value"},
        LookupCase{"SectionNameIgnoresCase", "[Setup]\nKey=1\n", "SETUP", "Key", "1"},
        LookupCase{"KeyNameIgnoresCase", "[S]\nScannerFile=x\n", "S", "SCANNERFILE", "x"},
        LookupCase{"ValueKeepsItsCase", "[S]\nk=MiXeD\n", "S", "k", "MiXeD"},
        LookupCase{"BlanksAroundEverythingTrimmed", "  [ S ]  \n  k  =   a b c  \t\n", "S", "k", "a b c"},
        LookupCase{"FirstKeyWins", "[S]\nk=1\nk=2\n", "S", "k", "1"},
        LookupCase{"FirstSectionWins", "[S]\na=1\n[S]\nk=2\n", "S", "k", std::nullopt},
        LookupCase{"EmptyValueIsAbsent", "[S]\nk=\n", "S", "k", std::nullopt},
        LookupCase{"BlankValueIsAbsent", "[S]\nk=   \t \n", "S", "k", std::nullopt},
        LookupCase{"EmptyFirstMatchHidesLaterOne", "[S]\nk=\nk=2\n", "S", "k", std::nullopt},
        LookupCase{"KeyInOtherSection", "[A]\nk=1\n[B]\nj=2\n", "B", "k", std::nullopt},
        LookupCase{"KeyBeforeAnySection", "k=1\n[S]\n", "S", "k", std::nullopt},
        LookupCase{"MissingSection", "[A]\nk=1\n", "S", "k", std::nullopt},
        LookupCase{"CrLfFile", "[S]\r\nk=crlf\r\nj=2\r\n", "S", "k", "crlf"},
        LookupCase{"NoFinalNewline", "[S]\nk=last", "S", "k", "last"},
        LookupCase{"EqualsInValue", "[S]\nk=a=b\n", "S", "k", "a=b"},
        LookupCase{"SemicolonLineIsComment", "[S]\n;k=1\nk=2\n", "S", "k", "2"},
        LookupCase{"LineWithoutEqualsIgnored", "[S]\njunk\nk=3\n", "S", "k", "3"},
        LookupCase{"SlashCommentIsPartOfValue", "[S]\nk=5 // five\n", "S", "k", "5 // five"},
        LookupCase{"LongValueCutTo255", "[S]\nk=" + kLong300 + "\n", "S", "k", std::string(255, 'v')},
        LookupCase{"EmptyFile", "", "S", "k", std::nullopt}),
    [](const auto& p) { return std::string(p.param.name); });

TEST(ProfileLookup, LongValueKeepsFirst255Characters) {
    std::string value;
    for (int i = 0; i < 300; ++i) value += static_cast<char>('a' + i % 26);
    const auto got = ProfileFile::FromText("[S]\nk=" + value + "\n").value("S", "k");
    ASSERT_TRUE(got);
    EXPECT_EQ(*got, value.substr(0, 255));
}

TEST(ProfileLookup, MissingFileReadsAbsent) {
    ScratchDir dir("profile");
    EXPECT_EQ(ReadProfileString(dir.file("none.ini"), "S", "k"), std::nullopt);
    EXPECT_FALSE(ProfileFile::Load(dir.file("none.ini")));
    EXPECT_EQ(ReadProfileInt(dir.file("none.ini"), "S", "k", 42), 42);
}

struct IntCase {
    const char* text;
    int32_t expected;
};

class ProfileInt : public ::testing::TestWithParam<IntCase> {};

TEST_P(ProfileInt, ReadsLeadingDecimalDigits) {
    EXPECT_EQ(ProfileIntFromText(GetParam().text), GetParam().expected) << GetParam().text;
}

INSTANTIATE_TEST_SUITE_P(
    Rule, ProfileInt,
    ::testing::Values(IntCase{"42", 42}, IntCase{"-17", -17}, IntCase{"+5", 5}, IntCase{"12abc", 12},
                      IntCase{"abc", 0}, IntCase{"0x10", 0}, IntCase{"", 0}, IntCase{"-", 0},
                      IntCase{"007", 7}, IntCase{"3.9", 3}, IntCase{"2147483647", 2147483647},
                      IntCase{"2147483648", 2147483647}, IntCase{"99999999999999999999", 2147483647},
                      IntCase{"-2147483648", INT32_MIN}, IntCase{"-99999999999", INT32_MIN}));

TEST(ProfileInt, AbsentOrEmptyKeyGivesDefault) {
    ScratchDir dir("profile");
    const auto path = dir.write("a.ini", "[S]\nempty=\ntext=abc\nnum= 12 \n");
    EXPECT_EQ(ReadProfileInt(path, "S", "missing", -3), -3);
    EXPECT_EQ(ReadProfileInt(path, "S", "empty", 8), 8);
    EXPECT_EQ(ReadProfileInt(path, "S", "text", 8), 0);
    EXPECT_EQ(ReadProfileInt(path, "s", "NUM", 8), 12);
}

struct WriteCase {
    const char* name;
    const char* before;  // nullptr: no file
    const char* section;
    const char* key;
    const char* value;
    const char* after;
};

class ProfileWrite : public ::testing::TestWithParam<WriteCase> {};

TEST_P(ProfileWrite, ChangesOnlyTheKeyLine) {
    const auto& c = GetParam();
    ScratchDir dir("profile");
    const auto path = dir.file("w.ini");
    if (c.before != nullptr) dir.write("w.ini", c.before);
    ASSERT_TRUE(WriteProfileString(path, c.section, c.key, c.value));
    EXPECT_EQ(ReadWholeFile(path), c.after);
    EXPECT_EQ(ReadProfileString(path, c.section, c.key).value_or(""), c.value);
}

INSTANTIATE_TEST_SUITE_P(
    InPlace, ProfileWrite,
    ::testing::Values(
        WriteCase{"CreatesFile", nullptr, "SETUP", "Scan_Buffer_MBytes", "8",
                  "[SETUP]\nScan_Buffer_MBytes=8\n"},
        WriteCase{"ReplacesValueKeepsNeighbours",
                  "; settings\n[SETUP]\nScannerFile=a.dsc  // note\nDebug=0\n\n[OTHER]\nx=1\n", "setup",
                  "debug", "2", "; settings\n[SETUP]\nScannerFile=a.dsc  // note\ndebug=2\n\n[OTHER]\nx=1\n"},
        WriteCase{"AddsKeyAfterSectionsLastKey", "[A]\na=1\n\n[B]\nb=2\n", "A", "n", "5",
                  "[A]\na=1\nn=5\n\n[B]\nb=2\n"},
        WriteCase{"AddsKeyToEmptySection", "[A]\n[B]\nb=2\n", "A", "n", "5", "[A]\nn=5\n[B]\nb=2\n"},
        WriteCase{"AddsSectionAtEnd", "[A]\na=1\n", "GAIN_OFFSET", "regs[0x38]", "17",
                  "[A]\na=1\n[GAIN_OFFSET]\nregs[0x38]=17\n"},
        WriteCase{"TerminatesUnterminatedLastLine", "[A]\na=1", "A", "b", "2", "[A]\na=1\nb=2\n"},
        WriteCase{"KeepsCrLf", "[A]\r\na=1\r\nz=9\r\n", "A", "a", "7", "[A]\r\na=7\r\nz=9\r\n"},
        WriteCase{"NewLinesInCrLfFileAreCrLf", "[A]\r\na=1\r\n", "B", "b", "2", "[A]\r\na=1\r\n[B]\r\nb=2\r\n"},
        WriteCase{"ReplacesFirstOfDuplicates", "[A]\nk=1\nk=2\n", "A", "K", "3", "[A]\nK=3\nk=2\n"},
        WriteCase{"WritesIntoFirstSectionOfThatName", "[A]\nx=1\n[A]\nk=2\n", "A", "k", "3",
                  "[A]\nx=1\nk=3\n[A]\nk=2\n"},
        WriteCase{"CommentLinesUntouched", "[A]\n;k=old\n", "A", "k", "new", "[A]\n;k=old\nk=new\n"}),
    [](const auto& p) { return std::string(p.param.name); });

TEST(ProfileWrite, FailsWhenDirectoryMissing) {
    ScratchDir dir("profile");
    EXPECT_FALSE(WriteProfileString(dir.file("no/such/dir.ini"), "A", "k", "1"));
}

TEST(ProfileWrite, LeavesNoTemporaryFilesAndKeepsMode) {
    ScratchDir dir("profile");
    const auto path = dir.write("m.ini", "[A]\nk=1\n");
    ASSERT_EQ(::chmod(path.c_str(), 0640), 0);
    ASSERT_TRUE(WriteProfileString(path, "A", "k", "2"));
    int files = 0;
    for (const auto& entry : std::filesystem::directory_iterator(dir.path())) {
        (void)entry;
        ++files;
    }
    EXPECT_EQ(files, 1);
    struct stat info {};
    ASSERT_EQ(::stat(path.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0640u);
}

TEST(ProfileWrite, UnreadableFileIsNotReplaced) {
    if (::geteuid() == 0) GTEST_SKIP() << "root reads every file";
    ScratchDir dir("profile");
    const auto path = dir.write("locked.ini", "[A]\nkeep=1\n");
    ASSERT_EQ(::chmod(path.c_str(), 0), 0);
    EXPECT_FALSE(WriteProfileString(path, "A", "k", "2"));
    ::chmod(path.c_str(), 0600);
    EXPECT_EQ(ReadWholeFile(path), "[A]\nkeep=1\n");
}

TEST(ProfileWrite, ReadingADirectoryAsFileFailsTheWrite) {
    ScratchDir dir("profile");
    std::filesystem::create_directory(dir.file("d.ini"));
    EXPECT_FALSE(WriteProfileString(dir.file("d.ini"), "A", "k", "2"));
}

}  // namespace
}  // namespace ordavel::platform
