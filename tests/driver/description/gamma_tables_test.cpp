// Gamma files: the default file, full and short sections, the client's curve files, invalid
// lines, hostile content, and which file a scan loads.
#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "driver/description/gamma_file_reader.h"
#include "driver/description/gamma_tables.h"
#include "tests/support/test_context.h"

namespace ordavel::description {
namespace {

using test::TestContext;
using Table = std::array<uint8_t, kGammaEntries>;

struct ParsedFile {
    std::array<Table, 3> channels{};
    std::vector<std::string> messages;
};

// Reads the three sections of `content` as a download would.
ParsedFile ParseGamma(const std::string& content) {
    TestContext scratch("gamma");
    const std::string path = scratch.tempDir() + "/g.gam";
    scratch.writeFile(path, content);
    std::FILE* file = std::fopen(path.c_str(), "r");
    ParsedFile parsed;
    for (Table& table : parsed.channels) ReadGammaChannel(scratch.ctx(), file, table);
    std::fclose(file);
    parsed.messages = scratch.messages();
    return parsed;
}

std::string Section(const char* header, int count, const char* format, int (*value)(int)) {
    std::string text = header;
    char line[32];
    for (int i = 0; i < count; ++i) {
        std::snprintf(line, sizeof line, format, i, value(i));
        text += line;
    }
    return text;
}

std::string DefaultFileText() {
    std::FILE* file = std::tmpfile();
    EXPECT_TRUE(WriteDefaultGammaFile(file));
    std::string text;
    std::rewind(file);
    for (int c; (c = std::fgetc(file)) != EOF;) text += static_cast<char>(c);
    std::fclose(file);
    return text;
}

TEST(GammaDefaultFile, ThreeLinearSectionsInTheDriversFormat) {
    const std::string text = DefaultFileText();
    EXPECT_EQ(text.rfind(";Gamma Data (red)\n0\t0\n1\t0\n2\t0\n", 0), 0u);
    EXPECT_NE(text.find("FFF\tFF\n;Gamma Data (green)\n0\t0\n"), std::string::npos);
    EXPECT_NE(text.find("FFF\tFF\n;Gamma Data (blue)\n0\t0\n"), std::string::npos);
    EXPECT_NE(text.find("\n10\t1\n"), std::string::npos);
    EXPECT_EQ(text.substr(text.size() - 7), "FFF\tFF\n");
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 3 * 4097);

    const ParsedFile parsed = ParseGamma(text);
    EXPECT_TRUE(parsed.messages.empty());
    for (const Table& table : parsed.channels) {
        for (int i = 0; i < kGammaEntries; ++i) ASSERT_EQ(table[static_cast<std::size_t>(i)], i / 16) << i;
    }
}

TEST(GammaShortTables, AreStretchedFourfoldIncludingTheLastOneEndedByEndOfFile) {
    const std::string text = Section(";Gamma Data (red)\n", 1024, "%X\t%X\n", [](int i) { return i * 7 + 1; }) +
                             Section(";Gamma Data (green)\n", 1024, "%X\t%X\n", [](int i) { return i * 5 + 2; }) +
                             Section(";Gamma Data (blue)\n", 1024, "%X\t%X\n", [](int i) { return 255 - i; });
    const ParsedFile parsed = ParseGamma(text);
    EXPECT_TRUE(parsed.messages.empty());
    for (int k = 0; k < 1024; ++k) {
        for (int j = 0; j < 4; ++j) {
            const auto e = static_cast<std::size_t>(4 * k + j);
            ASSERT_EQ(parsed.channels[0][e], (k * 7 + 1) & 0xFF) << e;
            ASSERT_EQ(parsed.channels[1][e], (k * 5 + 2) & 0xFF) << e;
            ASSERT_EQ(parsed.channels[2][e], (255 - k) & 0xFF) << e;
        }
    }
}

TEST(GammaShortTables, StretchCoversOnlyTheIndicesGiven) {
    const std::string text = Section(";r\n", 0x100, "%X %X\n", [](int i) { return i; }) + ";g\n0 1\n1 2\n;b\n";
    const ParsedFile parsed = ParseGamma(text);
    for (int e = 0; e < kGammaEntries; ++e) {
        ASSERT_EQ(parsed.channels[0][static_cast<std::size_t>(e)], e < 0x400 ? e / 4 : 0) << e;
        ASSERT_EQ(parsed.channels[1][static_cast<std::size_t>(e)], e < 4 ? 1 : e < 8 ? 2 : 0) << e;
    }
    EXPECT_EQ(parsed.channels[2], Table{}) << "an empty last section is all zero";
}

TEST(GammaShortTables, SectionHoldingOnlyEntryZeroRunsOnPastTheComment) {
    // With no index above 0 a comment still reads as a header, so the section goes on.
    const ParsedFile parsed = ParseGamma(";r\n0 9\n;not the end\n1 8\nFFF 7\n;g\n");
    EXPECT_EQ(parsed.channels[0][0], 9);
    EXPECT_EQ(parsed.channels[0][1], 8);
    EXPECT_EQ(parsed.channels[0][0xFFF], 7);
    EXPECT_EQ(parsed.channels[1], Table{});
}

TEST(GammaClientFiles, LoadWithoutMessagesAndNeverReadTheAllSection) {
    std::string text = ";contrast=0\n;brightness=0\n;gamma=1.00\n;highlight=255\n;shadow=0\n";
    text += Section(";Gamma Data (red)\n", 4096, "%x\t%x\n", [](int i) { return i / 16; });
    text += Section(";Gamma Data (green)\n", 4096, "%x\t%x\n", [](int i) { return 255 - i / 16; });
    text += Section(";Gamma Data (blue)\n", 4096, "%x\t%x\n", [](int i) { return (i * 3) & 0xFF; });
    text += Section(";Gamma Data (all)\n", 4096, "%x\t%x\n", [](int) { return 0x5A; });
    const ParsedFile parsed = ParseGamma(text);
    EXPECT_TRUE(parsed.messages.empty()) << parsed.messages.front();
    for (int i = 0; i < kGammaEntries; ++i) {
        const auto e = static_cast<std::size_t>(i);
        ASSERT_EQ(parsed.channels[0][e], i / 16);
        ASSERT_EQ(parsed.channels[1][e], 255 - i / 16);
        ASSERT_EQ(parsed.channels[2][e], (i * 3) & 0xFF);
    }
}

TEST(GammaInvalidLines, AreReportedAndSkipped) {
    const std::string text =
        ";Gamma Data (red)\n"
        "0 10\n"
        "zz\n"
        "12\n"
        "1000 5\n"
        "5 1FF\n"
        "  7\t20  \n"
        "8,9\n"
        "-1 3\n"
        "a 0x2B\r\n"
        "\n"
        "   \t\n"
        "FFF 77\n";
    const ParsedFile parsed = ParseGamma(text);
    const std::vector<std::string> expected = {"Invalid entry: zz", "Invalid entry: 12", "Invalid offset 1000",
                                               "Invalid entry: 8,9", "Invalid offset ffffffff"};
    EXPECT_EQ(parsed.messages, expected);
    const Table& red = parsed.channels[0];
    EXPECT_EQ(red[0], 0x10);
    EXPECT_EQ(red[5], 0xFF) << "only the low 8 bits of a value";
    EXPECT_EQ(red[7], 0x20);
    EXPECT_EQ(red[8], 0);
    EXPECT_EQ(red[0xA], 0x2B);
    EXPECT_EQ(red[0xFFF], 0x77);
    EXPECT_EQ(parsed.channels[1], Table{});
}

TEST(GammaInvalidLines, CommentInsideAFullTableIsAnInvalidEntry) {
    const ParsedFile parsed = ParseGamma(";r\n0 1\n500 2\n;stray\nFFF 3\n;g\n1 4\nFFF 5\n");
    EXPECT_EQ(parsed.messages, std::vector<std::string>{"Invalid entry: ;stray"});
    EXPECT_EQ(parsed.channels[0][0x500], 2);
    EXPECT_EQ(parsed.channels[0][0x501], 0) << "a full table is not stretched";
    EXPECT_EQ(parsed.channels[1][1], 4);
}

TEST(GammaInvalidLines, OutOfRangeIndexStillEndsShortTableStretching) {
    // The highest index counts every index read, valid or not.
    const ParsedFile parsed = ParseGamma(";r\n1 1\n2000 9\n;g\n3 3\n");
    EXPECT_EQ(parsed.messages.size(), 2u);  // the offset, then ";g" as an entry
    EXPECT_EQ(parsed.channels[0][1], 1);
    EXPECT_EQ(parsed.channels[0][4], 0) << "not stretched";
    EXPECT_EQ(parsed.channels[0][3], 3) << "green's entry landed in red: the section never ended";
}

TEST(GammaHostileContent, NeverCrashesOrOverruns) {
    std::mt19937 rng(1234);
    const std::string alphabet = "0123456789abcdefABCDEFxX;+- \t\r\n\n\n\x01\xff";
    for (int round = 0; round < 40; ++round) {
        std::string text;
        const int length = static_cast<int>(rng() % 3000);
        for (int i = 0; i < length; ++i) text += alphabet[rng() % alphabet.size()];
        ParseGamma(text);
    }
    // Lines far longer than the line buffer, and numbers far wider than 32 bits.
    ParseGamma(std::string(5000, 'F') + " 1\n" + std::string(600, ';') + "\n0 " + std::string(300, '9') + "\n");
}

struct HexCase {
    const char* text;
    bool parses;
    uint32_t value;
    std::size_t end;
};

TEST(GammaHexNumbers, ReadLikeTheCLibrary) {
    const HexCase cases[] = {{"  1f rest", true, 0x1F, 4},  {"0x10", true, 0x10, 4},
                             {"0X1g", true, 1, 3},          {"0xg", true, 0, 1},
                             {"-1", true, 0xFFFFFFFF, 2},   {"+a", true, 10, 2},
                             {"123456789", true, 0xFFFFFFFF, 9}, {"", false, 0, 0},
                             {"  g", false, 0, 0},          {"-", false, 0, 0}};
    for (const HexCase& c : cases) {
        std::size_t pos = 0;
        uint32_t value = 0;
        EXPECT_EQ(ParseHexNumber(c.text, pos, value), c.parses) << c.text;
        if (c.parses) {
            EXPECT_EQ(value, c.value) << c.text;
            EXPECT_EQ(pos, c.end) << c.text;
        }
    }
}

class GammaFileChoice : public ::testing::Test {
protected:
    std::string temp(const std::string& name) const { return scratch.tempDir() + "/" + name; }
    bool defaultCreated() const { return std::filesystem::exists(scratch.workDir() + "/default.gam"); }
    TestContext scratch{"choice"};
};

TEST_F(GammaFileChoice, SixteenBitScansReadAndSendNothing) {
    EXPECT_TRUE(LoadGammaTables(scratch.ctx(), 16));
    EXPECT_FALSE(defaultCreated());
    EXPECT_TRUE(scratch.messages().empty());
}

TEST_F(GammaFileChoice, MissingFilesCreateTheDefaultInTheCurrentDirectory) {
    EXPECT_FALSE(LoadGammaTables(scratch.ctx(), 8));  // no scanner to receive it
    ASSERT_TRUE(defaultCreated());
    EXPECT_FALSE(std::filesystem::exists(temp("default.gam")));
    // Read as text: the driver writes it as a text file, with the system's own line ends.
    std::ifstream created(scratch.workDir() + "/default.gam");
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(created), {}), DefaultFileText());
    EXPECT_EQ(scratch.messages().back(), "Error verifying gamma table!");
}

TEST_F(GammaFileChoice, ExistingDefaultIsReusedAsItIs) {
    scratch.writeFile(scratch.workDir() + "/default.gam", ";mine\n0 1\n");
    LoadGammaTables(scratch.ctx(), 8);
    EXPECT_EQ(scratch.readFile(scratch.workDir() + "/default.gam"), ";mine\n0 1\n");
}

TEST_F(GammaFileChoice, NamedFileDependsOnDepthAndClientMark) {
    struct Case {
        const char* settings;
        int depth;
        const char* present;
        bool usesPresentFile;
    };
    const Case cases[] = {
        {"", 8, "gamma_8.gam", true},
        {"[TWAINSCAN]\nTwainScan=1\n", 8, "gamma_8.gam", true},
        {"[TWAINSCAN]\nTwainScan=0\n", 8, "gamma_8a.gam", true},
        {"[TWAINSCAN]\nTwainScan=0\n", 1, "gamma_1a.gam", true},
        {"", 8, "gamma_8a.gam", false},  // absent mark counts as 1
        {"[TWAINSCAN]\nTwainScan=0\n", 8, "gamma_8.gam", false},
        {"", 1, "gamma_8.gam", false},
    };
    for (const Case& c : cases) {
        TestContext each("choice");
        each.writeSettings(c.settings);
        each.writeFile(each.tempDir() + "/" + c.present, ";r\n0 1\n");
        LoadGammaTables(each.ctx(), c.depth);
        EXPECT_EQ(std::filesystem::exists(each.workDir() + "/default.gam"), !c.usesPresentFile)
            << c.settings << " depth " << c.depth << " file " << c.present;
    }
}

TEST_F(GammaFileChoice, UncreatableDefaultIsReported) {
    std::filesystem::remove_all(scratch.workDir());
    EXPECT_FALSE(LoadGammaTables(scratch.ctx(), 8));
    EXPECT_EQ(scratch.messages(), std::vector<std::string>{"Can't create default Gamma table!"});
}

}  // namespace
}  // namespace ordavel::description
