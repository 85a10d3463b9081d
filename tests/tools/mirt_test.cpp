// Runs the built mirt program as a user would, against the virtual scanner: the files it writes,
// their sizes and formats, and its exit codes for an empty feeder, a jam and an open cover.
#include "tests/support/param_names.h"
#include "tests/tools/mirt_program.h"

namespace {

using namespace mirt_test;

TEST_F(MirtProgram, ScansEverySheetIntoNumberedBitmapsOfTheClientsLayout) {
    const MirtRun run = RunMirt(dir_, "scan --page narrow -o out", Scanner({"chart", "document", "chart"}));
    ASSERT_EQ(run.exitCode, 0) << run.output;
    for (const char* name : {"page001.bmp", "page002.bmp", "page003.bmp"}) {
        const auto bmp = ReadFile(dir_ / "out" / name);
        ASSERT_GE(bmp.size(), 54u) << name;
        EXPECT_EQ(bmp[0], 'B');
        EXPECT_EQ(Le32(bmp, 18), 1100u) << "narrow window width";
        EXPECT_EQ(Le32(bmp, 22), 1892u);
        EXPECT_EQ(bmp[28], 8);
        EXPECT_EQ(bmp.size(), 54u + 1024u + 1100u * 1892u);
    }
    EXPECT_FALSE(fs::exists(dir_ / "out" / "page004.bmp"));
    for (const auto& entry : fs::directory_iterator(dir_ / "out")) {
        EXPECT_EQ(entry.path().extension(), ".bmp") << "no partial files left behind";
    }
}

struct FormatCase {
    const char* name;
    const char* arguments;
    const char* file;
    std::vector<uint8_t> magic;
};
void PrintTo(const FormatCase& c, std::ostream* out) { *out << c.name; }

class MirtFormats : public MirtProgram, public ::testing::WithParamInterface<FormatCase> {};

TEST_P(MirtFormats, WritesTheRequestedFormat) {
    const MirtRun run = RunMirt(dir_, std::string("scan --single -o out ") + GetParam().arguments, Scanner({"chart"}));
    ASSERT_EQ(run.exitCode, 0) << run.output;
    const auto bytes = ReadFile(dir_ / "out" / GetParam().file);
    ASSERT_GE(bytes.size(), GetParam().magic.size());
    EXPECT_TRUE(std::equal(GetParam().magic.begin(), GetParam().magic.end(), bytes.begin()));
}

INSTANTIATE_TEST_SUITE_P(Formats, MirtFormats,
                         ::testing::Values(FormatCase{"Png", "-f png", "page001.png", {0x89, 'P', 'N', 'G'}},
                                           FormatCase{"Tiff", "-f tiff", "page001.tif", {'I', 'I', 42, 0}},
                                           FormatCase{"BmpLineArt300Wide", "--bw --dpi 300 --wide", "page001.bmp", {'B', 'M'}}),
                         ordavel::test::ReadableName{});

TEST_F(MirtProgram, BlackAndWhiteAt300DpiInTheWideWindowHasTheEnlargedSize) {
    const MirtRun run = RunMirt(dir_, "scan --single --bw --dpi 300 --wide -o out", Scanner({"chart"}));
    ASSERT_EQ(run.exitCode, 0) << run.output;
    const auto bmp = ReadFile(dir_ / "out" / "page001.bmp");
    ASSERT_GE(bmp.size(), 62u);
    EXPECT_EQ(Le32(bmp, 18), 2130u);
    EXPECT_EQ(Le32(bmp, 22), 2838u);
    EXPECT_EQ(bmp[28], 1);
    EXPECT_EQ(bmp.size(), 62u + 268u * 2838u);
}

TEST_F(MirtProgram, EmptyFeederEndsWithoutAPage) {
    const MirtRun run = RunMirt(dir_, "scan -o out", Scanner({}));
    EXPECT_EQ(run.exitCode, 11) << run.output;
    EXPECT_NE(run.output.find("feeder is empty"), std::string::npos) << run.output;
    EXPECT_TRUE(!fs::exists(dir_ / "out") || fs::is_empty(dir_ / "out"));
}

TEST_F(MirtProgram, JamDuringTheFeedExitsWithTheJamCode) {
    // The second sheet stops at the entrance: the feed after the first page never sees it arrive.
    const MirtRun run = RunMirt(dir_, "scan -o out",
                            Scanner({"chart", "chart"}, {{{"Type", "Jam"}, {"Sheet", "2"}, {"At_Position", "20"}}}));
    EXPECT_EQ(run.exitCode, 4) << run.output;
    EXPECT_NE(run.output.find("塞纸"), std::string::npos) << run.output;
    // The short feed after the first page waits for the stuck sheet at sensor 1 and finds the
    // jam before anything is scanned standing still; the page before it is kept, under the name
    // that says the feed after it jammed, and no second page is written.
    EXPECT_TRUE(fs::exists(dir_ / "out" / "page001-jammed.bmp")) << run.output;
    EXPECT_FALSE(fs::exists(dir_ / "out" / "page002.bmp"));
    EXPECT_FALSE(fs::exists(dir_ / "out" / "page002-jammed.bmp"));
}

TEST_F(MirtProgram, CoverOpenedBeforeAShortFeedExitsWithTheCoverCode) {
    // The short ticket leaves sensor 1 while the chart behind it waits at the entrance, so the
    // next feed is the short one; the cover opens as the chart creeps in behind the ticket.
    const MirtRun run = RunMirt(dir_, "scan -o out",
                                Scanner({"ticket", "chart"}, {{{"Type", "CoverOpen"}, {"Sheet", "2"}, {"At_Position", "60"}}}));
    EXPECT_EQ(run.exitCode, 5) << run.output;
    EXPECT_NE(run.output.find("feeder empty or cover open (上盖打开)"), std::string::npos) << run.output;
    EXPECT_TRUE(fs::exists(dir_ / "out" / "page001.bmp")) << "the ticket scanned before is kept";
}

TEST_F(MirtProgram, InfoAndStatusAnswerWithoutScanning) {
    const std::string scanner = Scanner({"chart"});
    const MirtRun info = RunMirt(dir_, "info", scanner);
    EXPECT_EQ(info.exitCode, 0) << info.output;
    EXPECT_NE(info.output.find("LM9832"), std::string::npos);
    const MirtRun status = RunMirt(dir_, "status", scanner);
    EXPECT_EQ(status.exitCode, 0) << status.output;
    EXPECT_NE(status.output.find("a sheet is ready"), std::string::npos) << status.output;
}

TEST_F(MirtProgram, BadArgumentsExitWithTheUsageCode) {
    EXPECT_EQ(RunMirt(dir_, "scan --dpi 250").exitCode, 2);
    EXPECT_EQ(RunMirt(dir_, "frobnicate").exitCode, 2);
}

}  // namespace
