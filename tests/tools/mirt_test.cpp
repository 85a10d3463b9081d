// Runs the built mirt program as a user would, against the virtual scanner: the files it writes,
// their sizes and formats, and its exit codes for an empty feeder, a jam and an open cover.
#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "platform/profile.h"
#include "tests/support/test_paths.h"

namespace fs = std::filesystem;

namespace {

struct MirtRun {
    int exitCode = -1;
    std::string output;
};

// Runs mirt in `dir` with the driver's state directory (MIRT_STATE_DIR) in dir/tmp and the given
// extra environment. The scanner is a private one of the mirt process, on virtual time: these
// tests are about mirt, and stay fast and deterministic (the shared device has tests of its own).
MirtRun RunMirt(const fs::path& dir, const std::string& arguments, const std::string& environment = "") {
    const std::string mirt = ordavel::test::BinaryDir() + "/bin/mirt";
    const std::string command = "cd '" + dir.string() + "' && env MIRT_STATE_DIR='" + (dir / "tmp").string() +
                                "' MIRT_VIRTUAL_PRIVATE=1 " + environment + " '" + mirt + "' " + arguments + " 2>&1";
    MirtRun run;
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) return run;
    std::array<char, 4096> chunk{};
    std::size_t n = 0;
    while ((n = std::fread(chunk.data(), 1, chunk.size(), pipe)) > 0) run.output.append(chunk.data(), n);
    const int status = pclose(pipe);
    run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}

std::vector<uint8_t> ReadFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

uint32_t Le32(const std::vector<uint8_t>& b, std::size_t at) {
    return b[at] | (b[at + 1] << 8) | (b[at + 2] << 16) | (static_cast<uint32_t>(b[at + 3]) << 24);
}

// One calibration for the whole suite (the stored files are copied into each test's folder).
class MirtProgram : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        calibrated_ = new fs::path(ordavel::test::MakeScratchDir("mirt-calibration"));
        calibrationRun_ = new MirtRun(RunMirt(*calibrated_, "calibrate --load-calibration-sheet",
                                          "MIRT_VIRTUAL_SCANNER=" + ordavel::test::DataDir() + "/virtual/reference.ini"));
    }
    static void TearDownTestSuite() {
        std::error_code ec;
        fs::remove_all(*calibrated_, ec);
        delete calibrated_;
        delete calibrationRun_;
    }

    void SetUp() override {
        ASSERT_EQ(calibrationRun_->exitCode, 0) << calibrationRun_->output;
        dir_ = ordavel::test::MakeScratchDir("mirt");
        fs::copy(*calibrated_ / "tmp", dir_ / "tmp", fs::copy_options::recursive);
    }
    void TearDown() override {
        std::error_code ec;
        fs::remove_all(dir_, ec);
    }

    // A virtual scanner of the reference kind with the given sheets and faults.
    std::string Scanner(const std::vector<std::string>& pages, const std::vector<std::vector<std::pair<std::string, std::string>>>& faults = {}) {
        const fs::path config = dir_ / "scanner.ini";
        fs::copy_file(ordavel::test::DataDir() + "/virtual/reference.ini", config);
        using ordavel::platform::WriteProfileString;
        WriteProfileString(config.string(), "Feeder", "Sheets", std::to_string(pages.size()));
        for (std::size_t i = 0; i < pages.size(); ++i) {
            WriteProfileString(config.string(), "Sheet " + std::to_string(i + 1), "Page", pages[i]);
        }
        WriteProfileString(config.string(), "Faults", "Count", std::to_string(faults.size()));
        for (std::size_t i = 0; i < faults.size(); ++i) {
            for (const auto& [key, value] : faults[i]) {
                WriteProfileString(config.string(), "Fault " + std::to_string(i + 1), key, value);
            }
        }
        return "MIRT_VIRTUAL_SCANNER=" + config.string();
    }

    static fs::path* calibrated_;
    static MirtRun* calibrationRun_;
    fs::path dir_;
};

fs::path* MirtProgram::calibrated_ = nullptr;
MirtRun* MirtProgram::calibrationRun_ = nullptr;

TEST_F(MirtProgram, ScansEverySheetIntoNumberedBitmapsOfTheClientsLayout) {
    const MirtRun run = RunMirt(dir_, "scan -o out", Scanner({"chart", "document", "chart"}));
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
    const char* arguments;
    const char* file;
    std::vector<uint8_t> magic;
};

class MirtFormats : public MirtProgram, public ::testing::WithParamInterface<FormatCase> {};

TEST_P(MirtFormats, WritesTheRequestedFormat) {
    const MirtRun run = RunMirt(dir_, std::string("scan --single -o out ") + GetParam().arguments, Scanner({"chart"}));
    ASSERT_EQ(run.exitCode, 0) << run.output;
    const auto bytes = ReadFile(dir_ / "out" / GetParam().file);
    ASSERT_GE(bytes.size(), GetParam().magic.size());
    EXPECT_TRUE(std::equal(GetParam().magic.begin(), GetParam().magic.end(), bytes.begin()));
}

INSTANTIATE_TEST_SUITE_P(Formats, MirtFormats,
                         ::testing::Values(FormatCase{"-f png", "page001.png", {0x89, 'P', 'N', 'G'}},
                                           FormatCase{"-f tiff", "page001.tif", {'I', 'I', 42, 0}},
                                           FormatCase{"--bw --dpi 300 --wide", "page001.bmp", {'B', 'M'}}));

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
    EXPECT_EQ(run.exitCode, 0) << run.output;
    EXPECT_TRUE(!fs::exists(dir_ / "out") || fs::is_empty(dir_ / "out"));
}

TEST_F(MirtProgram, JamDuringTheFeedExitsWithTheJamCode) {
    // The second sheet stops at the entrance: the feed after the first page never sees it arrive.
    const MirtRun run = RunMirt(dir_, "scan -o out",
                            Scanner({"chart", "chart"}, {{{"Type", "Jam"}, {"Sheet", "2"}, {"At_Position", "20"}}}));
    EXPECT_EQ(run.exitCode, 4) << run.output;
    EXPECT_NE(run.output.find("塞纸"), std::string::npos) << run.output;
    EXPECT_TRUE(fs::exists(dir_ / "out" / "page001.bmp")) << "the page before the jam is kept";
}

TEST_F(MirtProgram, CoverOpenedBeforeAShortFeedExitsWithTheCoverCode) {
    // The short ticket leaves sensor 1 while the chart behind it waits at the entrance, so the
    // next feed is the short one; the cover opens as the chart creeps in behind the ticket.
    const MirtRun run = RunMirt(dir_, "scan -o out",
                                Scanner({"ticket", "chart"}, {{{"Type", "CoverOpen"}, {"Sheet", "2"}, {"At_Position", "60"}}}));
    EXPECT_EQ(run.exitCode, 5) << run.output;
    EXPECT_NE(run.output.find("上盖打开"), std::string::npos) << run.output;
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
