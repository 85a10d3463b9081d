// Calibration end to end against the reference virtual scanner: what a calibration stores, the
// streaks it removes from a later scan, its failure paths, repeated calibrations and calibration
// without a black strip.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <functional>
#include <memory>
#include <numeric>
#include <optional>
#include <string>
#include <vector>

#include "driver/calibration/stored_calibration.h"
#include "driver/calibration/work_file_header.h"
#include "driver/interface/driver_context.h"
#include "driver/interface/session.h"
#include "platform/directory_lock.h"
#include "platform/profile.h"
#include "tests/support/child_process.h"
#include "tests/support/scratch_files.h"
#include "tests/support/test_context.h"
#include "tests/support/test_paths.h"
#include "virtual/builtin_pages.h"
#include "virtual/page.h"
#include "virtual/virtual_backend.h"
#include "virtual/virtual_scanner.h"

#include <unistd.h>

namespace ordavel::calibration {
namespace {

using virtual_scanner::SheetState;
using virtual_scanner::VirtualScanner;

constexpr int kWidth = 1680;   // pixels of a full-bed line at 200 dpi
constexpr int kHeight = 2340;  // lines of a full-bed scan at 200 dpi
constexpr double kTargetLevel = 0xD000 / 256.0;  // the white target after the linear gamma

std::vector<std::string>* g_messages = nullptr;
DriverContext* g_reporting = nullptr;

// Set in a child process: the callback ends the process, as a kill would, as soon as this file
// exists (a point in the middle of a calibration).
std::string g_exitWhenExists;
constexpr int kKilledExit = 77;

int32_t RecordStatus(int32_t kind) {
    if (!g_exitWhenExists.empty() && std::filesystem::exists(g_exitWhenExists)) ::_exit(kKilledExit);
    if (kind == 0 && g_messages != nullptr && g_reporting != nullptr) {
        g_messages->emplace_back(g_reporting->record.messageText);
    }
    return 0;
}

// The reference scanner's configuration with some [Sensor] keys changed and its own feeder.
std::string ScannerConfig(const std::vector<std::pair<std::string, std::string>>& sensor, const std::string& feeder) {
    std::string text = test::ReadWholeFile(test::DataDir() + "/virtual/reference.ini");
    text = text.substr(0, text.find("[Feeder]"));
    for (const auto& [key, value] : sensor) {
        std::size_t at = text.find("\n" + key + "=");
        if (at == std::string::npos) {
            text.replace(text.find("[Sensor]\n"), 9, "[Sensor]\n" + key + "=" + value + "\n");
        } else {
            std::size_t end = text.find('\n', at + 1);
            text.replace(at + 1, end - at - 1, key + "=" + value);
        }
    }
    return text + feeder + "\n[Faults]\nCount=0\n";
}

const char* kWhiteAlone = "[Feeder]\nFirst_Sheet=Ready\nSheets=1\n[Sheet 1]\nPage=white\n";
const char* kWhiteThenChart = "[Feeder]\nFirst_Sheet=Ready\nSheets=2\n[Sheet 1]\nPage=white\n[Sheet 2]\nPage=chart\n";
const char* kChartAlone = "[Feeder]\nFirst_Sheet=Ready\nSheets=1\n[Sheet 1]\nPage=chart\n";
const char* kEmptyFeeder = "[Feeder]\nSheets=0\n";

// One process of the driver: a fresh context over the shared temporary directory, with one
// virtual scanner on its own clock.
class DriverProcess {
public:
    DriverProcess(const test::ScratchDir& temp, const std::string& config, std::vector<std::string>& messages)
        : clock_(std::make_shared<platform::VirtualClock>()) {
        std::string path = temp.write("scanner.ini", config);
        std::string error;
        scanner_ = virtual_scanner::LoadVirtualScanner(path, clock_, error);
        EXPECT_TRUE(scanner_) << error;
        auto devices = std::make_shared<platform::DeviceList>();
        if (scanner_) devices->addBackend(virtual_scanner::MakeVirtualScannerBackend(scanner_));
        ctx_ = std::make_unique<DriverContext>(DriverEnvironment{clock_, devices, temp.path(), temp.path()});
        g_messages = &messages;
        g_reporting = ctx_.get();
        session_ = interface::GetSession(*ctx_);
    }
    ~DriverProcess() {
        interface::DestroySession(*ctx_);
        g_reporting = nullptr;
    }

    static ScanRequest FullBed() {
        ScanRequest r{};
        r.bedRight = r.scanRectRight = kWidth;
        r.bedBottom = r.scanRectBottom = kHeight;
        r.pixelType = 1;
        r.bitDepth = 8;
        r.xResolution = r.yResolution = 200;
        return r;
    }

    // The client's narrow window (bed units 284 to 1384, 1100 pixels at 200 dpi).
    static ScanRequest NarrowWindow() {
        ScanRequest r = FullBed();
        r.scanRectLeft = 284;
        r.scanRectRight = 1384;
        return r;
    }

    // 0 on success, as the export returns it.
    int32_t Calibrate(const ScanRequest& request = FullBed()) {
        if (session_->SetParams(*ctx_, request, &RecordStatus) != 0) return 1;
        return session_->Calibration(*ctx_);
    }

    // A grey scan (the full bed unless told otherwise); empty when it fails.
    std::vector<uint8_t> Scan(const ScanRequest& request = FullBed()) {
        if (session_->SetParams(*ctx_, request, &RecordStatus) != 0 || session_->Start(*ctx_) != 0) return {};
        std::vector<uint8_t> image;
        std::vector<uint8_t> buffer(65536);
        for (int calls = 0; calls < 10000; ++calls) {
            int32_t got = 0;
            int32_t rc = session_->Read(*ctx_, buffer.data(), static_cast<int32_t>(buffer.size()), &got);
            image.insert(image.end(), buffer.begin(), buffer.begin() + got);
            if (rc == 2) return image;
            if (rc != 0) return {};
        }
        return {};
    }

    DriverContext& ctx() { return *ctx_; }
    VirtualScanner& scanner() { return *scanner_; }

private:
    std::shared_ptr<platform::VirtualClock> clock_;
    std::shared_ptr<VirtualScanner> scanner_;
    std::unique_ptr<DriverContext> ctx_;
    interface::Session* session_ = nullptr;
};

class VirtualCalibration : public ::testing::Test {
protected:
    VirtualCalibration() : temp_("vcal") { InstallDescription(nullptr); }

    // "Mirt.def" and the reference description, with one key changed when `key` is given.
    void InstallDescription(const char* key, const char* value = nullptr) {
        temp_.write("Mirt.def", "[SETUP]\nScannerFile=Mirt9832.dsc\nDebug=0\nScan_Buffer_MBytes=8\n");
        if (key == nullptr) {
            temp_.copyData("Mirt9832.dsc", "Mirt9832.dsc");
        } else {
            temp_.write("Mirt9832.dsc", test::ReferenceDescriptionWith(key, value));
        }
    }

    std::unique_ptr<DriverProcess> Start(const std::string& config) {
        messages_.clear();
        return std::make_unique<DriverProcess>(temp_, config, messages_);
    }

    int32_t Setting(const char* key) const {
        return platform::ReadProfileInt(temp_.file("Mirt.def"), "GAIN_OFFSET", key, -99999);
    }
    bool Reported(const std::string& text) const {
        return std::find(messages_.begin(), messages_.end(), text) != messages_.end();
    }

    // The stored black line: the samples of the first line of "BlackFINE.PXL".
    std::vector<int> StoredBlackLine() const {
        std::string bytes = test::ReadWholeFile(temp_.file("BlackFINE.PXL"));
        auto header = ParseWorkFileHeader(std::span<const uint8_t>(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()));
        std::vector<int> line;
        if (!header) return line;
        for (int x = 0; x < header->pixelsPerLine; ++x) {
            std::size_t at = header->dataStart + 2 * static_cast<std::size_t>(x);
            if (at + 1 >= bytes.size()) break;
            line.push_back(static_cast<uint8_t>(bytes[at]) * 256 + static_cast<uint8_t>(bytes[at + 1]));
        }
        return line;
    }

    static double Mean(const std::vector<int>& v) {
        return v.empty() ? 0 : std::accumulate(v.begin(), v.end(), 0.0) / static_cast<double>(v.size());
    }

    test::ScratchDir temp_;
    std::vector<std::string> messages_;
};

// Regions of the test chart in inches (across, down), well inside their edges: the
// brighter-than-paper white patch (2.65 to 4.05 across, 2.70 to 3.60 down, in a black frame) and
// blank paper to the right of the mid-grey patch.
struct ChartRegion {
    double x0, x1, y0, y1;
};
constexpr ChartRegion kWhitePatch{2.75, 3.95, 2.80, 3.50};
constexpr ChartRegion kBlankPaper{6.10, 7.40, 2.80, 3.50};
constexpr double kChartWidth = 8.27;  // centred on imaging pixel 840

// Column means of a chart region in a full-bed 200 dpi image.
struct ColumnMeans {
    std::vector<double> means;
    double mean() const { return std::accumulate(means.begin(), means.end(), 0.0) / static_cast<double>(means.size()); }
    // Standard deviation of the column means: the strength of column streaks.
    double spread() const {
        double m = mean();
        double sq = 0;
        for (double v : means) sq += (v - m) * (v - m);
        return std::sqrt(sq / static_cast<double>(means.size()));
    }
};

ColumnMeans Columns(const std::vector<uint8_t>& image, const ChartRegion& r) {
    const double left = 840 - kChartWidth / 2 * 200;
    const int x0 = static_cast<int>(left + r.x0 * 200), x1 = static_cast<int>(left + r.x1 * 200);
    const int y0 = static_cast<int>(r.y0 * 200), y1 = static_cast<int>(r.y1 * 200);
    ColumnMeans columns;
    for (int x = x0; x < x1; ++x) {
        double sum = 0;
        for (int y = y0; y < y1; ++y) sum += image[static_cast<std::size_t>(y) * kWidth + static_cast<std::size_t>(x)];
        columns.means.push_back(sum / (y1 - y0));
    }
    return columns;
}

// The page under a region is uniform with the given reflectance (checked on a grid of points).
bool Uniform(const virtual_scanner::Page& page, const ChartRegion& r, float reflectance) {
    for (double x = r.x0; x <= r.x1; x += 0.05) {
        for (double y = r.y0; y <= r.y1; y += 0.05) {
            if (page.reflectance(x, y, virtual_scanner::Channel::Blue) != reflectance) return false;
        }
    }
    return true;
}

TEST_F(VirtualCalibration, CalibratesOnTheWhiteSheetStoresTheResultsAndEjectsTheSheet) {
    auto process = Start(ScannerConfig({}, kWhiteAlone));
    ASSERT_EQ(process->Calibrate(), 0) << process->ctx().record.messageText;

    for (const char* key : {"regs[0x38]", "regs[0x39]", "regs[0x3A]", "regs[0x3B]", "regs[0x3C]", "regs[0x3D]",
                            "minBlackred", "minBlackgreen", "minBlackblue", "startpixel", "looplines"}) {
        EXPECT_NE(Setting(key), -99999) << key;
    }
    EXPECT_EQ(Setting("looplines"), 31);
    EXPECT_EQ(Setting("startpixel"), 150);
    EXPECT_GE(Setting("minBlackblue"), 0x0400);  // the dark level stays above its minimum target
    EXPECT_LE(Setting("regs[0x3D]"), 63);
    EXPECT_EQ(std::filesystem::file_size(temp_.file("cr.dat")), 7u + 6 * kWidth);
    for (const char* file : {"COARSE.PXL", "BlackFINE.PXL", "FINE.PXL"}) {
        EXPECT_TRUE(std::filesystem::exists(temp_.file(file))) << file;
    }
    // The black strip of 31 lines has a 32-byte header, and a dark, non-zero black line.
    std::string black = test::ReadWholeFile(temp_.file("BlackFINE.PXL"));
    auto header = ParseWorkFileHeader(std::span<const uint8_t>(reinterpret_cast<const uint8_t*>(black.data()), 64));
    ASSERT_TRUE(header);
    EXPECT_EQ(header->dataStart, 32u);
    double blackMean = Mean(StoredBlackLine());
    EXPECT_GT(blackMean, 0x0400 / 2);
    EXPECT_LT(blackMean, 0x0400 * 4);
    EXPECT_EQ(process->scanner().sheets()[0].state, SheetState::Ejected);
}

TEST_F(VirtualCalibration, RemovesTheColumnStreaksOfScansInLaterProcesses) {
    {
        auto calibration = Start(ScannerConfig({}, kWhiteAlone));
        ASSERT_EQ(calibration->Calibrate(), 0) << calibration->ctx().record.messageText;
    }
    auto scan = Start(ScannerConfig({}, kChartAlone));
    const auto& chart = *scan->scanner().sheetPage(1);
    ASSERT_TRUE(Uniform(chart, kWhitePatch, 0.97f));
    ASSERT_TRUE(Uniform(chart, kBlankPaper, virtual_scanner::kPaperWhite));
    auto after = scan->Scan();
    ASSERT_EQ(after.size(), static_cast<std::size_t>(kWidth) * kHeight);
    // The same analogue setting without per-pixel shading: unity gains and no black line.
    std::string crHeader = test::ReadWholeFile(temp_.file("cr.dat")).substr(0, 7);
    std::string unity;
    for (int i = 0; i < 3 * kWidth; ++i) unity += std::string("\x40\x00", 2);
    temp_.write("cr.dat", crHeader + unity);
    temp_.write("BlackFINE.PXL", FormatWorkFileHeader({kWidth, 4, 4, 1, 200, 200}) + std::string(2 * kWidth + 2, '\0'));
    auto before = Start(ScannerConfig({}, kChartAlone))->Scan();
    ASSERT_EQ(before.size(), after.size());

    ColumnMeans streaked = Columns(before, kWhitePatch), corrected = Columns(after, kWhitePatch);
    EXPECT_LT(corrected.spread(), 1.0);
    EXPECT_LE(corrected.spread() * 10, streaked.spread())
        << "before " << streaked.spread() << ", after " << corrected.spread();
    // The chart's own white lands near the target; the patch, 0.97 against the calibration
    // sheet's 0.92, as far above it as its reflectance says.
    const double paper = Columns(after, kBlankPaper).mean();
    EXPECT_NEAR(paper, kTargetLevel, 0.05 * kTargetLevel);
    EXPECT_LT(paper, kTargetLevel);
    EXPECT_NEAR(corrected.mean() / paper, 0.97 / virtual_scanner::kPaperWhite, 0.01);
}

TEST_F(VirtualCalibration, ACalibrationOverANarrowWindowServesScansOfThatWindow) {
    {
        auto calibration = Start(ScannerConfig({}, kWhiteAlone));
        ASSERT_EQ(calibration->Calibrate(DriverProcess::NarrowWindow()), 0) << calibration->ctx().record.messageText;
    }
    // The stored lines hold the window's 1100 pixels and begin at its first sensor pixel.
    EXPECT_EQ(std::filesystem::file_size(temp_.file("cr.dat")), 7u + 6 * 1100);
    EXPECT_EQ(Setting("startpixel"), 150 + 284);
    auto scan = Start(ScannerConfig({}, kChartAlone));
    auto image = scan->Scan(DriverProcess::NarrowWindow());
    ASSERT_EQ(image.size(), std::size_t{1100} * kHeight) << scan->ctx().record.messageText;
    // The white patch, placed in the window's columns, is free of column streaks.
    const double left = 840 - kChartWidth / 2 * 200 - 284;
    ColumnMeans columns;
    for (int x = static_cast<int>(left + kWhitePatch.x0 * 200); x < static_cast<int>(left + kWhitePatch.x1 * 200); ++x) {
        double sum = 0;
        for (int y = 560; y < 700; ++y) sum += image[static_cast<std::size_t>(y) * 1100 + static_cast<std::size_t>(x)];
        columns.means.push_back(sum / 140);
    }
    EXPECT_LT(columns.spread(), 1.0);
}

TEST_F(VirtualCalibration, ABlackSheetIsTooDarkAndKeepsTheEarlierResults) {
    temp_.write("Mirt.def", test::ReadWholeFile(temp_.file("Mirt.def")) +
                                "[GAIN_OFFSET]\nregs[0x3A]=37\nregs[0x3D]=17\nminBlackblue=4242\n");
    auto process = Start(ScannerConfig({{"Backing_Reflectance", "0"}}, kEmptyFeeder));
    EXPECT_EQ(process->Calibrate(), 1);
    EXPECT_TRUE(Reported("图像太黑，无法校正!"));
    EXPECT_EQ(Setting("regs[0x3A]"), 37);
    EXPECT_EQ(Setting("regs[0x3D]"), 17);
    EXPECT_EQ(Setting("minBlackblue"), 4242);
    const auto& writes = process->scanner().observations().registerWrites;
    EXPECT_TRUE(std::any_of(writes.begin(), writes.end(),
                            [](const auto& w) { return w.address == 0x45 && w.value == 0x13; }));
}

TEST_F(VirtualCalibration, ADarkLevelTooHighForTheLowestOffsetAsksForAnotherSheet) {
    auto process = Start(ScannerConfig({{"Dark_Level", "20000"}}, kWhiteAlone));
    EXPECT_EQ(process->Calibrate(), 1);
    EXPECT_TRUE(Reported("无法校正，请更换校正纸!"));
    EXPECT_EQ(Setting("regs[0x3A]"), -99999);
}

TEST_F(VirtualCalibration, AWhiteTooBrightForTheLowestGainDimsTheLamp) {
    // At gain code 0 this white stands above the target: each pass takes a tenth off the PWM
    // duty cycle until it does not.
    auto process = Start(ScannerConfig({{"White_Signal", "75000"}}, kWhiteAlone));
    ASSERT_EQ(process->Calibrate(), 0) << process->ctx().record.messageText;
    EXPECT_LT(process->ctx().description.workingGreenDuty, 4095);
    EXPECT_GE(process->ctx().description.workingGreenDuty, 2048);
}

TEST_F(VirtualCalibration, AWhiteTooBrightEvenAtTheLowestDutyCycleIsReported) {
    auto process = Start(ScannerConfig({{"White_Signal", "200000"}}, kWhiteAlone));
    EXPECT_EQ(process->Calibrate(), 1);
    EXPECT_TRUE(Reported("图像太亮!"));
}

TEST_F(VirtualCalibration, RepeatedCalibrationsMeasureTheSameBlack) {
    // White sheet, then chart: calibrate, scan, calibrate again on the backing, and once more.
    auto process = Start(ScannerConfig({}, kWhiteThenChart));
    ASSERT_EQ(process->Calibrate(), 0);
    const double first = Mean(StoredBlackLine());
    ASSERT_FALSE(process->Scan().empty());  // the scan loads the stored tables into the chip
    ASSERT_EQ(process->Calibrate(), 0) << process->ctx().record.messageText;
    const double afterScan = Mean(StoredBlackLine());
    ASSERT_EQ(process->Calibrate(), 0) << process->ctx().record.messageText;
    const double inARow = Mean(StoredBlackLine());
    EXPECT_NEAR(afterScan, first, 0.25 * first);
    EXPECT_NEAR(inARow, first, 0.25 * first);
}

TEST_F(VirtualCalibration, WithoutABlackStripLaterProcessesStillLoadTheShading) {
    InstallDescription("Black_Fine_Calibration", "No");
    {
        auto process = Start(ScannerConfig({}, kWhiteAlone));
        ASSERT_EQ(process->Calibrate(), 0) << process->ctx().record.messageText;
    }
    // The black line holds the coarse minimum the controller was given.
    std::vector<int> black = StoredBlackLine();
    ASSERT_EQ(black.size(), static_cast<std::size_t>(kWidth));
    EXPECT_EQ(*std::min_element(black.begin(), black.end()), Setting("minBlackblue"));
    EXPECT_EQ(*std::max_element(black.begin(), black.end()), Setting("minBlackblue"));

    auto later = Start(ScannerConfig({}, kChartAlone));
    std::vector<uint8_t> image = later->Scan();
    ASSERT_EQ(image.size(), static_cast<std::size_t>(kWidth) * kHeight) << later->ctx().record.messageText;
    EXPECT_NEAR(Columns(image, kBlankPaper).mean(), kTargetLevel, 0.05 * kTargetLevel);
}

// A calibration that does not finish (killed, or failed on a transfer) leaves the earlier one in
// use: the next scan's page is the one the earlier calibration gave.
class InterruptedRecalibration : public VirtualCalibration {
protected:
    // Calibrates, and returns the chart page a scan then gives.
    std::vector<uint8_t> CalibrateAndScan() {
        {
            auto calibration = Start(ScannerConfig({}, kWhiteAlone));
            EXPECT_EQ(calibration->Calibrate(), 0) << calibration->ctx().record.messageText;
        }
        return ScanChart();
    }
    std::vector<uint8_t> ScanChart() {
        auto scan = Start(ScannerConfig({}, kChartAlone));
        std::vector<uint8_t> page = scan->Scan();
        EXPECT_FALSE(page.empty()) << scan->ctx().record.messageText;
        return page;
    }
    // The stored set: both files and the keys of "GAIN_OFFSET".
    std::string StoredSet() const {
        std::string set = test::ReadWholeFile(temp_.file("cr.dat")) + test::ReadWholeFile(temp_.file("BlackFINE.PXL"));
        for (std::string_view key : kSetKeys) set += std::string(key) + "=" + std::to_string(Setting(std::string(key).c_str())) + ";";
        return set;
    }
    bool Staged() const {
        return std::filesystem::exists(temp_.file("cr.dat.new")) || std::filesystem::exists(temp_.file("BlackFINE.PXL.new"));
    }
};

struct KillCase {
    const char* name;
    const char* killWhenExists;  // the calibration's process dies once this file appears
    friend void PrintTo(const KillCase& c, std::ostream* os) { *os << c.name; }
};

class KilledRecalibration : public InterruptedRecalibration, public ::testing::WithParamInterface<KillCase> {};

TEST_P(KilledRecalibration, LeavesTheEarlierCalibrationInUse) {
    const std::vector<uint8_t> page = CalibrateAndScan();
    ASSERT_FALSE(page.empty());
    const std::string before = StoredSet();
    std::filesystem::remove(temp_.file("FINE.PXL"));  // so that its appearance marks the white strip
    const std::string trigger = temp_.file(GetParam().killWhenExists);
    const int exit = test::RunInChild([&] {
        g_exitWhenExists = trigger;
        Start(ScannerConfig({}, kWhiteAlone))->Calibrate();
        return 0;
    });
    ASSERT_EQ(exit, kKilledExit) << "the calibration ended before the kill point";
    EXPECT_EQ(InspectStoredCalibration(temp_.path()), StoredCalibration::Usable);
    EXPECT_EQ(ScanChart(), page);
    EXPECT_EQ(StoredSet(), before);
    EXPECT_FALSE(Staged()) << "the next run removes what the killed one staged";
}

INSTANTIATE_TEST_SUITE_P(KillPoints, KilledRecalibration,
                         ::testing::Values(KillCase{"DuringTheBlackStrip", "BlackFINE.PXL.new"},
                                           KillCase{"DuringTheWhiteStrip", "FINE.PXL"}),
                         [](const auto& param) { return std::string(param.param.name); });

TEST_F(InterruptedRecalibration, AKillAfterTheSetWasCompletePutsItInPlaceOnTheNextRun) {
    const std::vector<uint8_t> page = CalibrateAndScan();
    const std::string set = StoredSet();
    // The state of a process killed right after its commit file was written: the set staged,
    // "Mirt.def" still with other keys.
    std::string commit = "[FILES]\nCount=2\nFile1=cr.dat\nFile2=BlackFINE.PXL\n[GAIN_OFFSET]\n";
    for (std::string_view key : kSetKeys) commit += std::string(key) + "=" + std::to_string(Setting(std::string(key).c_str())) + "\n";
    temp_.write("calibration.commit", commit);
    std::filesystem::rename(temp_.file("cr.dat"), temp_.file("cr.dat.new"));
    std::filesystem::rename(temp_.file("BlackFINE.PXL"), temp_.file("BlackFINE.PXL.new"));
    platform::WriteProfileString(temp_.file("Mirt.def"), "GAIN_OFFSET", "regs[0x3D]", "0");
    platform::WriteProfileString(temp_.file("Mirt.def"), "GAIN_OFFSET", "startpixel", "0");
    EXPECT_EQ(InspectStoredCalibration(temp_.path()), StoredCalibration::Usable);

    EXPECT_EQ(ScanChart(), page);
    EXPECT_EQ(StoredSet(), set);
    EXPECT_FALSE(std::filesystem::exists(temp_.file("calibration.commit")));
    EXPECT_FALSE(Staged());
}

struct TransferFailureCase {
    const char* name;
    uint64_t transfer;  // the first transfer of the calibration that fails (with emptyAnswer: answer)
    uint32_t strikes;   // how many fail from there (0: every later one, a dead device)
    bool emptyAnswer = false;  // the answer comes back with no bytes instead of failing
    const char* text = "";     // how the status text the calibration leaves begins
    friend void PrintTo(const TransferFailureCase& c, std::ostream* os) { *os << c.name; }
};

class FailedRecalibration : public InterruptedRecalibration,
                            public ::testing::WithParamInterface<TransferFailureCase> {};

TEST_P(FailedRecalibration, FailsWithItsCauseAndLeavesTheEarlierCalibrationInUse) {
    const TransferFailureCase& c = GetParam();
    const std::vector<uint8_t> page = CalibrateAndScan();
    ASSERT_FALSE(page.empty());
    const std::string before = StoredSet();
    {
        auto calibration = Start(ScannerConfig({}, kWhiteAlone));
        virtual_scanner::Fault fault;
        fault.type = c.emptyAnswer ? virtual_scanner::FaultType::ShortTransfer : virtual_scanner::FaultType::FailTransfer;
        if (c.emptyAnswer) {
            fault.direction = virtual_scanner::TransferDirection::In;
            fault.keptShare = 0;
        }
        fault.transfer = c.transfer;
        fault.repeat = c.strikes;
        calibration->scanner().addFault(fault);
        ASSERT_EQ(calibration->Calibrate(), 1) << "a calibration with a failed transfer reported success";
        EXPECT_FALSE(messages_.empty());
        EXPECT_STRNE(calibration->ctx().record.messageText, "");
        EXPECT_EQ(std::string(calibration->ctx().record.messageText).rfind(c.text, 0), 0u)
            << calibration->ctx().record.messageText;
    }
    EXPECT_EQ(StoredSet(), before);
    EXPECT_EQ(ScanChart(), page);
}

INSTANTIATE_TEST_SUITE_P(
    Transfers, FailedRecalibration,
    ::testing::Values(TransferFailureCase{"DeadFromTheCoarsePasses", 400, 0},
                      TransferFailureCase{"DeadFromTheFineStrips", 1000, 0},
                      TransferFailureCase{"OneTransferNearTheEnd", 1400, 10},
                      // Image data that ends early is lost data, in the rate probe (which would
                      // measure a rate the bus never had) as in a strip scan (whose rest would be
                      // measured as white).
                      TransferFailureCase{"EmptyAnswerInTheRateProbe", 53, 1, true, "通信失败"},
                      TransferFailureCase{"EmptyAnswerInAStripScan", 83, 1, true, "通信失败"}),
    [](const auto& param) { return std::string(param.param.name); });

TEST_F(InterruptedRecalibration, ACalibrationWaitsForAnotherProcessesScanThenFailsWithACause) {
    std::optional<platform::DirectoryLock> held;
    test::HoldingChild scanning([&] {
        held = platform::DirectoryLock::Acquire(temp_.file("Mirt.lock"), platform::LockMode::Shared, 0);
        return held.has_value();
    });
    ASSERT_TRUE(scanning.holding());
    auto calibration = Start(ScannerConfig({}, kWhiteAlone));
    EXPECT_EQ(calibration->Calibrate(), 1);
    EXPECT_EQ(std::string(calibration->ctx().record.messageText), "扫描文件被其他程序占用: " + temp_.file("Mirt.lock"));
    EXPECT_NE(calibration->scanner().sheets()[0].state, SheetState::Ejected) << "nothing moved";
}

// Processes sharing the driver's directory: calibrations run one at a time, scans beside each
// other, and what is stored is one whole calibration.
TEST_F(InterruptedRecalibration, ConcurrentProcessesNeverMixTheirCalibrations) {
    const std::vector<uint8_t> page = CalibrateAndScan();
    ASSERT_FALSE(page.empty());
    std::vector<std::function<int()>> processes;
    for (int i = 0; i < 6; ++i) {
        const bool calibrates = i % 2 == 0;
        processes.emplace_back([&, calibrates] {
            if (calibrates) return Start(ScannerConfig({}, kWhiteAlone))->Calibrate() == 0 ? 0 : 1;
            return ScanChart().size() == page.size() ? 0 : 2;
        });
    }
    EXPECT_EQ(test::RunChildrenTogether(processes), std::vector<int>(6, 0));
    // Calibrations of one scanner differ by a little noise, so which one was stored last cannot
    // be told from the files; each stores a whole set, and the scan after them works.
    EXPECT_EQ(InspectStoredCalibration(temp_.path()), StoredCalibration::Usable);
    EXPECT_FALSE(Staged());
    EXPECT_FALSE(std::filesystem::exists(temp_.file("calibration.commit")));
    EXPECT_EQ(ScanChart().size(), page.size());
}

}  // namespace
}  // namespace ordavel::calibration
