// Debian's real scanimage against the built backend and the virtual scanner: the devices it
// lists, the options it shows, its self-test, and the pages it writes compared with what was on
// the paper.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <functional>
#include <regex>

#include <unistd.h>

#include "client/tone_curve.h"
#include "mirt_usb_ids.h"
#include "tests/sane/scanimage_desk.h"
#include "tests/sane/scanned_image.h"
#include "tests/support/fake_usb_tree.h"
#include "tests/support/golden_file.h"
#include "tests/support/scratch_files.h"
#include "tests/support/test_paths.h"
#include "virtual/builtin_pages.h"

namespace fs = std::filesystem;
using namespace ordavel::test;

namespace {

// Every built-in page but the calibration white, over the whole bed (11.7 inches, longer than
// every sheet), the short ticket first: each sheet follows one shorter than the scan area, and
// must still be scanned from its top edge.
const std::vector<std::string> kPrintedPages = {"ticket", "chart", "document"};

// The chart's twelve grey steps, from ink to paper white, in inches on the page.
constexpr int kGreySteps = 12;
double StepLeftInches(int i) { return 0.75 + i * 0.55; }
constexpr double kStepTop = 1.85, kStepBottom = 2.35, kStepWidth = 0.5;

// A chart scanned over the whole bed at 200 dpi: where a point of the page lies in the image
// (the A4 chart, 8.27 inches wide, centred on bed pixel 840).
int BedColumn(double xInches) { return static_cast<int>(std::lround(840 + (xInches - 8.27 / 2) * 200)); }
int BedLine(double yInches) { return static_cast<int>(std::lround(yInches * 200)); }

// The mean of the middle of an area of the chart (inches), in a whole-bed 200 dpi scan.
double ChartMean(const GreyImage& image, double x0, double y0, double x1, double y1) {
    const double mx = (x1 - x0) / 5, my = (y1 - y0) / 5;
    return image.mean(BedColumn(x0 + mx), BedLine(y0 + my), BedColumn(x1 - mx), BedLine(y1 - my));
}

std::vector<double> StepMeans(const GreyImage& image) {
    std::vector<double> means;
    for (int i = 0; i < kGreySteps; ++i) {
        means.push_back(ChartMean(image, StepLeftInches(i), kStepTop, StepLeftInches(i) + kStepWidth, kStepBottom));
    }
    return means;
}

class Scanimage : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(ScanimageDesk::SharedCalibrationProblem(), ""); }

    // One page scanned to PNM with `arguments`; empty (with a test failure) when scanimage failed.
    GreyImage ScanOne(const std::string& arguments) {
        const ProgramRun run = desk_.scanimage("--format=pnm " + arguments);
        EXPECT_EQ(run.exitCode, 0) << run.err;
        EXPECT_EQ(run.err, "") << "scanimage warned";
        return ParsePnm(run.out);
    }

    ScanimageDesk desk_{"sane"};
};

TEST_F(Scanimage, ListsEveryConfiguredVirtualScannerUnderItsOwnName) {
    desk_.writeBackendConfig("# two virtual scanners\nvirtual " + desk_.scannerConfig() + "\n\nvirtual " +
                             desk_.scannerConfig() + "  # the same file twice is still two lines\n");
    ProgramRun run = desk_.scanimage("-L");
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_NE(run.out.find("device `mirt:virtual0' is a Mirt Sheet Scanner (virtual) sheetfed scanner"),
              std::string::npos)
        << run.out;
    EXPECT_NE(run.out.find("device `mirt:virtual1'"), std::string::npos) << run.out;

    // No virtual scanner unless one is configured.
    desk_.writeBackendConfig("#virtual " + desk_.scannerConfig() + "\n");
    run = desk_.scanimage("-L");
    EXPECT_EQ(run.out.find("mirt:"), std::string::npos) << run.out;
}

// Our scanner is plugged in but its device node is root's alone, as before the udev set-up: the
// backend lists no device for it (SANE has no "present but forbidden") and tells the user why.
TEST_F(Scanimage, AScannerTheUserMayNotOpenIsNotListedAndTheUserIsToldWhy) {
    if (::geteuid() != 0) GTEST_SKIP() << "needs root to run as another user";
    const std::string machine = desk_.file("machine");
    ASSERT_TRUE(PlugInUsbDevice(machine, MIRT_USB_VENDOR_ID, MIRT_SCANNER_PRODUCT_ID, 7, 0600));
    const std::string state = desk_.file("state-60001");
    fs::create_directory(state);
    ASSERT_EQ(::chown(state.c_str(), 60001, 60001), 0);
    desk_.writeBackendConfig("# no virtual scanner\n");
    const ProgramRun run = desk_.run("setpriv --reuid=60001 --regid=60001 --clear-groups env MIRT_STATE_DIR='" + state +
                                         "' " + UsbTreeEnvironment(machine) + " scanimage",
                                     "-L");
    EXPECT_EQ(run.out.find("mirt:"), std::string::npos) << run.out;
    EXPECT_NE(run.err.find("[mirt] a scanner is attached (" + machine +
                           "/dev/bus/usb/001/007) but this user may not open it: see the README's section \"Scanner "
                           "access on Linux\""),
              std::string::npos)
        << run.err;
}

TEST_F(Scanimage, InstalledBackendIsFoundThroughDllD) {
    // cmake --install into a scratch prefix; SANE's dll loader finds the backend by the dll.d
    // file alone (dll.conf names nothing), and the installed mirt.conf with one virtual line.
    const ProgramRun install = desk_.run("env -u LD_PRELOAD cmake", "--install '" + BinaryDir() + "' --prefix '" + desk_.file("prefix") + "'");
    ASSERT_EQ(install.exitCode, 0) << install.err;
    const std::string etc = desk_.file("prefix") + "/etc/sane.d";
    ASSERT_TRUE(fs::exists(etc + "/dll.d/mirt"));
    ASSERT_TRUE(fs::exists(desk_.file("prefix") + "/share/man/man5/sane-mirt.5"));
    // The scanner's access: the hardware-database entry where udev reads packaged ones.
    EXPECT_TRUE(fs::exists(desk_.file("prefix") + "/lib/udev/hwdb.d/60-mirt.hwdb"));
    std::ofstream(etc + "/dll.conf") << "# nothing: dll.d names the backends\n";
    std::ofstream(etc + "/mirt.conf", std::ios::app) << "virtual " << desk_.scannerConfig() << "\n";
    desk_.load({"chart"});
    const std::string libDir = desk_.file("prefix") + "/lib/" + MIRT_LIBRARY_ARCHITECTURE + "/sane";
    ASSERT_TRUE(fs::exists(libDir + "/libsane-mirt.so.1")) << libDir;
    // The installed backend finds the installed driver and data files on its own.
    const std::string installed = "env SANE_CONFIG_DIR='" + etc + "' LD_LIBRARY_PATH='" + libDir + "' scanimage";
    const ProgramRun list = desk_.run(installed, "-L");
    EXPECT_NE(list.out.find("device `mirt:virtual0'"), std::string::npos) << list.out << list.err;
    const ProgramRun scan = desk_.run(installed, "-d mirt:virtual0 --format=pnm -y 50");
    EXPECT_EQ(scan.exitCode, 0) << scan.err;
    const GreyImage image = ParsePnm(scan.out);
    EXPECT_EQ(image.width, 1680);
    EXPECT_EQ(image.height, 394) << "50 mm are 394 lines";
}

TEST_F(Scanimage, ListsTheOptionsWithTheirConstraintsAndNoWarnings) {
    desk_.load({"chart"});
    const ProgramRun run = desk_.scanimage("--format=pnm -A");
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(CompareWithGolden("tests/sane/golden/options.txt", run.out), "");
}

TEST_F(Scanimage, NeedsCalibrationFirstAndSaysSo) {
    desk_.load({"chart"});
    desk_.forgetCalibration();
    const ProgramRun options = desk_.scanimage("--format=pnm -A");
    EXPECT_NE(options.out.find("--page-loaded[=(yes|no)] [inactive]"), std::string::npos)
        << "the sensor cannot be read before calibration\n" << options.out;
    EXPECT_EQ(options.err, "");
    const ProgramRun scan = desk_.scanimage("--format=pnm");
    EXPECT_EQ(scan.exitCode, 4) << "SANE_STATUS_INVAL";
    EXPECT_NE(scan.err.find("[mirt] the scanner needs calibrating"), std::string::npos) << scan.err;
    EXPECT_TRUE(scan.out.empty());
}

TEST_F(Scanimage, SelfTestPasses) {
    desk_.load({"chart"});
    const ProgramRun run = desk_.scanimage("-T");
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.err.find("FAIL"), std::string::npos) << run.err;
    std::size_t passes = 0;
    for (std::size_t at = run.err.find("PASS"); at != std::string::npos; at = run.err.find("PASS", at + 1)) ++passes;
    EXPECT_GE(passes, 20u) << run.err;
}

// The centre line of the longest run of dark lines through column `x` within `reach` lines of
// `y`, and the run's length: where a corner square of the chart lies in a frame.
std::pair<double, int> DarkRunAround(const GreyImage& image, int x, int y, int reach) {
    int bestStart = 0, bestLength = 0, start = 0, length = 0;
    for (int line = std::max(0, y - reach); line < std::min(image.height, y + reach); ++line) {
        if (image.mean(x - 6, line, x + 6, line + 1) < 80) {
            if (length++ == 0) start = line;
            if (length > bestLength) bestStart = start, bestLength = length;
        } else {
            length = 0;
        }
    }
    return {bestStart + (bestLength - 1) / 2.0, bestLength};
}

// A chart of a batch, scanned from its top edge: all four corner squares (0.15 inch, 30 lines)
// whole in the frame, where the paper has them. A sheet fed from the entrance stops up to a
// poll's travel (about 10 to 20 steps) past the sensor the feed waits for, so its squares lie up
// to that much above their place on the page; never lower, and never the half inch a sheet lost
// when the feed after a shorter sheet started it early.
void ExpectCornerMarksInPlace(const GreyImage& image, double left, const std::string& what) {
    const auto marks = ordavel::virtual_scanner::TestChartMarks();
    for (double cx : {marks.left, marks.right}) {
        for (double cy : {marks.top, marks.bottom}) {
            const int x = BedColumn(cx) - static_cast<int>(left), y = BedLine(cy);
            ASSERT_TRUE(x >= 8 && x + 8 < image.width) << what << ": the frame holds every corner square";
            const auto [centre, length] = DarkRunAround(image, x, y, 60);
            EXPECT_NEAR(length, 30, 3) << what << ": the corner square at " << cx << ", " << cy << " is whole";
            EXPECT_LE(centre, y + 2) << what << ": corner square at " << cx << ", " << cy;
            EXPECT_GE(centre, y - 25) << what << ": corner square at " << cx << ", " << cy;
        }
    }
}

// A feeder of mixed sheets, the first pushed into the rollers or lying at the entrance.
struct FeederCase {
    const char* name;
    const char* firstSheet;
    const char* format;  // "png" or "pnm"
    const char* area;    // beside the batch area's length
    int width;           // of the frames
    double left;         // their first column on the bed
};

// A page file of a batch, in either format.
GreyImage ReadPage(const std::string& path, const std::string& format) {
    return format == "png" ? ReadPng(path) : ParsePnm(ReadWholeFile(path));
}

class ScanimageFeeder : public Scanimage, public ::testing::WithParamInterface<FeederCase> {};

TEST_P(ScanimageFeeder, WritesOneFilePerSheetMatchingThatSheet) {
    desk_.load(kPrintedPages, {}, GetParam().firstSheet);
    const std::string format = GetParam().format;
    const ProgramRun run = desk_.scanimage("--batch=p%03d." + format + " --format=" + format + " --source ADF " +
                                           GetParam().area);
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_NE(run.err.find("Document feeder out of documents"), std::string::npos) << run.err;
    EXPECT_FALSE(fs::exists(desk_.file("p004." + format)));
    for (std::size_t i = 0; i < kPrintedPages.size(); ++i) {
        const std::string name = "p00" + std::to_string(i + 1) + "." + format;
        const GreyImage image = ReadPage(desk_.file(name), format);
        ASSERT_FALSE(image.empty()) << name;
        EXPECT_EQ(image.width, GetParam().width) << name;
        EXPECT_EQ(image.height, 2340) << name << ": the whole bed";
        // Its own sheet, and not the one after it (the files are in the feeder's order).
        const std::string& own = kPrintedPages[i];
        const std::string& next = kPrintedPages[(i + 1) % kPrintedPages.size()];
        const BedPlacement placed{GetParam().left, 0, 1};
        const double ownAgreement = PageAgreement(image, own, placed);
        EXPECT_GT(ownAgreement, 0.9) << name << " is not the " << own;
        EXPECT_LT(PageAgreement(image, next, placed), ownAgreement - 0.3) << name << " looks like the " << next;
        if (own == "chart" && image.width == 1680) ExpectCornerMarksInPlace(image, placed.left, name);
    }
}

// scanimage's PNG writer takes seconds a page: that batch scans the middle 110 mm of the pages
// (50..160 mm: pixels 394..1260).
INSTANTIATE_TEST_SUITE_P(Sheets, ScanimageFeeder,
                         ::testing::Values(FeederCase{"FirstSheetInTheRollersToPng", "Ready", "png", "-l 50 -x 110", 866, 394},
                                           FeederCase{"FirstSheetAtTheEntranceToPnm", "Entrance", "pnm", "", 1680, 0}),
                         [](const auto& row) { return std::string(row.param.name); });

TEST_F(Scanimage, PdfHoldsEverySheetOfTheFeederAsAPage) {
    desk_.load(kPrintedPages);
    const ProgramRun run = desk_.scanimage("--batch=scan.pdf --format=pdf --source ADF");
    EXPECT_EQ(run.exitCode, 0) << run.err;
    const ProgramRun info = desk_.run("env -u LD_PRELOAD pdfinfo", "scan.pdf");
    ASSERT_EQ(info.exitCode, 0) << info.err;
    EXPECT_TRUE(std::regex_search(info.out, std::regex("Pages: +3\n"))) << info.out;
    // The whole bed: 8.4 by 11.7 inches.
    EXPECT_TRUE(std::regex_search(info.out, std::regex("Page size: +60[45](\\.\\d+)? x 84[123](\\.\\d+)? pts"))) << info.out;
    // Each page holds one frame of the area's size. (Debian's scanimage 1.2.1 stores a grey frame
    // in its PDF as a three-colour JPEG of the grey bytes, so the pixels are compared in the PNG
    // batch above, not here.)
    const ProgramRun images = desk_.run("env -u LD_PRELOAD pdfimages", "-list scan.pdf");
    ASSERT_EQ(images.exitCode, 0) << images.err;
    const std::regex frame("\\n +([123]) +[0-9]+ +image +1680 +2340 ");
    EXPECT_EQ(std::distance(std::sregex_iterator(images.out.begin(), images.out.end(), frame), std::sregex_iterator()), 3)
        << images.out;
}

// One chart scanned with the given options: the frame's size and where it lay on the bed.
struct FrameCase {
    const char* name;
    const char* arguments;
    int width;
    int height;
    int maxval;           // 1: line art, 255: grey
    BedPlacement placed;  // its first column on the bed, and pixels per bed pixel
};

class ScanimageFrames : public Scanimage, public ::testing::WithParamInterface<FrameCase> {};

TEST_P(ScanimageFrames, DeliverTheAreaAskedForAtItsSize) {
    desk_.load({"chart"});
    const GreyImage image = ScanOne(GetParam().arguments);
    ASSERT_FALSE(image.empty());
    // scanimage sizes the file from sane_get_parameters before it reads: an exact frame.
    EXPECT_EQ(image.width, GetParam().width);
    EXPECT_EQ(image.height, GetParam().height);
    EXPECT_EQ(image.maxval, GetParam().maxval);
    EXPECT_GT(PageAgreement(image, "chart", GetParam().placed), GetParam().maxval == 1 ? 0.75 : 0.9);
}

// Bed pixels are 200 dpi; an area's mm become the nearest pixel, then its width and height are
// made even (the 300 dpi enlargement is 3/2).
INSTANTIATE_TEST_SUITE_P(
    Areas, ScanimageFrames,
    ::testing::Values(FrameCase{"WholeBedGrey", "", 1680, 2340, 255, {0, 0, 1}},
                      FrameCase{"WholeBedLineartAt300", "--mode Lineart --resolution 300", 2520, 3510, 1, {0, 0, 1.5}},
                      // 20..120 mm: pixels 157..945 (788); 30..180 mm: lines 236..1417 (1181, made 1180).
                      FrameCase{"AreaInMm", "-l 20 -t 30 -x 100 -y 150", 788, 1180, 255, {157, 236, 1}},
                      // An A4 page is 1654 pixels wide, centred: its left edge at bed pixel 13; 10..110 mm
                      // on it are pixels 79..866 (787, made 786), its 2339 lines made 2338.
                      FrameCase{"AreaOnAnA4PageAt300", "--page-width 210 --page-height 297 -l 10 -x 100 --resolution 300",
                                1179, 3507, 255, {13 + 79, 0, 1.5}}),
    [](const auto& row) { return std::string(row.param.name); });

TEST_F(Scanimage, AWholeA4ChartFitsWithAllFourCornerMarks) {
    desk_.load({"chart"});
    const GreyImage image = ScanOne("--page-width 210 --page-height 297 -x 210 -y 297");
    ASSERT_FALSE(image.empty());
    EXPECT_EQ(image.width, 1654);
    EXPECT_EQ(image.height, 2338);
    // The page lies exactly in the frame: its corner squares (0.15 inch, 30 pixels) where the
    // chart has them, and paper just outside them.
    const auto marks = ordavel::virtual_scanner::TestChartMarks();
    for (double cx : {marks.left, marks.right}) {
        for (double cy : {marks.top, marks.bottom}) {
            const int x = static_cast<int>(cx * 200), y = static_cast<int>(cy * 200);
            EXPECT_LT(image.mean(x - 8, y - 8, x + 8, y + 8), 40) << "corner square at " << cx << ", " << cy;
            EXPECT_GT(image.mean(x - 8, y + 22, x + 8, y + 30), 150) << "paper below the square at " << cx << ", " << cy;
        }
    }
}

// The tone options through the client's curve file, judged on the chart's grey steps against a
// plain grey scan: what each step must become.
struct ToneCase {
    const char* name;
    const char* arguments;
    std::function<double(double grey)> expected;  // from the step's plain grey value
};

class ScanimageTone : public Scanimage, public ::testing::WithParamInterface<ToneCase> {
protected:
    static const std::vector<double>& PlainSteps() {
        static const std::vector<double> steps = [] {
            ScanimageDesk desk("sane-plain");
            desk.load({"chart"});
            return StepMeans(ParsePnm(desk.scanimage("--format=pnm").out));
        }();
        return steps;
    }
};

TEST_P(ScanimageTone, ShapesEveryGreyStepAsTheCurveSays) {
    ASSERT_EQ(PlainSteps().size(), static_cast<std::size_t>(kGreySteps));
    desk_.load({"chart"});
    const GreyImage image = ScanOne(GetParam().arguments);
    ASSERT_FALSE(image.empty());
    const std::vector<double> steps = StepMeans(image);
    for (int i = 0; i < kGreySteps; ++i) {
        const double plain = PlainSteps()[i];
        if (std::isnan(GetParam().expected(plain))) continue;
        EXPECT_NEAR(steps[i], GetParam().expected(plain), 5) << "step " << i << " (plain grey " << plain << ")";
    }
    if (image.maxval == 1) {
        // Line art is black ink on white paper.
        EXPECT_LT(ChartMean(image, 0.75, 2.65, 2.25, 3.65), 1) << "the black patch";
        EXPECT_GT(ChartMean(image, 6.2, 2.65, 7.5, 3.65), 254) << "blank paper";
    }
}

// A cut at `threshold`: a grey at or above it is white. A step within 6 of it may fall either
// way and is not judged (NaN).
std::function<double(double)> CutAt(int threshold) {
    return [threshold](double grey) {
        if (std::abs(grey - threshold) < 6) return std::nan("");
        return grey >= threshold ? 255.0 : 0.0;
    };
}

// The curve's contrast term at the input level of a plain grey (its level is 16 times it).
double WithContrast(double grey, int contrast) {
    const auto adjust = mirt::tone::Adjustments::Uniform(0, contrast, 0, 0, 10);
    const int32_t level = std::clamp(static_cast<int32_t>(std::lround(grey * 4096 / 255)), 0, 4095);
    return mirt::tone::Curve(level, 3, adjust, mirt::tone::ComputeCurveScales(adjust));
}

INSTANTIATE_TEST_SUITE_P(
    Curves, ScanimageTone,
    ::testing::Values(ToneCase{"BrightnessLiftsEveryGrey", "--brightness 60",
                               [](double g) { return std::min(255.0, g + 60); }},
                      ToneCase{"ContrastSpreadsTheGreys", "--contrast 60", [](double g) { return WithContrast(g, 60); }},
                      ToneCase{"LineartCutsAtTheMiddle", "--mode Lineart", CutAt(128)},
                      ToneCase{"LineartCutsAtALowThreshold", "--mode Lineart --threshold 60", CutAt(60)},
                      ToneCase{"LineartCutsAtAHighThreshold", "--mode Lineart --threshold 200", CutAt(200)}),
    [](const auto& row) { return std::string(row.param.name); });

// A feeder fault: how scanimage ends and which pages it keeps.
struct FaultCase {
    const char* name;
    std::vector<std::string> pages;
    std::vector<FaultKeys> faults;
    int exitCode;  // the SANE status scanimage ends with
    const char* message;
    int pagesKept;
};

class ScanimageFaults : public Scanimage, public ::testing::WithParamInterface<FaultCase> {};

TEST_P(ScanimageFaults, EndTheBatchWithTheirStatusKeepingOnlyWholePages) {
    desk_.load(GetParam().pages, GetParam().faults);
    const ProgramRun run = desk_.scanimage("--batch=p%03d.pnm --format=pnm --source ADF");
    EXPECT_EQ(run.exitCode, GetParam().exitCode) << run.err;
    EXPECT_NE(run.err.find(GetParam().message), std::string::npos) << run.err;
    for (int i = 1; i <= GetParam().pagesKept; ++i) {
        const GreyImage image = ParsePnm(ReadWholeFile(desk_.file("p00" + std::to_string(i) + ".pnm")));
        ASSERT_FALSE(image.empty()) << "page " << i << " is kept";
        EXPECT_GT(PageAgreement(image, GetParam().pages[i - 1], {}), 0.9) << "page " << i;
    }
    EXPECT_FALSE(fs::exists(desk_.file("p00" + std::to_string(GetParam().pagesKept + 1) + ".pnm")))
        << "the broken page is removed";
}

INSTANTIATE_TEST_SUITE_P(
    Faults, ScanimageFaults,
    ::testing::Values(
        FaultCase{"EmptyFeeder", {}, {}, 7, "Document feeder out of documents", 0},
        // The sheet stops under the scan line: its smeared image is not delivered.
        FaultCase{"JamInTheMiddleOfTheFirstSheet", {"chart", "document"},
                  {{{"Type", "Jam"}, {"Sheet", "1"}, {"At_Position", "1000"}}}, 6, "Document feeder jammed", 0},
        // The feed after the first sheet finds the jam at once; the backend cannot tell a sheet that
        // stood still under the scan line from one stuck behind it, so the first page goes too.
        FaultCase{"JamAtTheEntranceBehindTheFirstSheet", {"chart", "chart"},
                  {{{"Type", "Jam"}, {"Sheet", "2"}, {"At_Position", "20"}}}, 6, "Document feeder jammed", 0},
        // The short ticket leaves sensor 1 while the chart waits at the entrance; the cover opens
        // as the chart creeps in behind it.
        FaultCase{"CoverOpenedBehindATicket", {"ticket", "chart"},
                  {{{"Type", "CoverOpen"}, {"Sheet", "2"}, {"At_Position", "60"}}}, 8, "Scanner cover is open", 1},
        FaultCase{"ScannerUnpluggedDuringTheSecondSheet", {"document", "chart"},
                  {{{"Type", "Disconnect"}, {"Transfer", "1000"}}}, 9, "Error during device I/O", 1}),
    [](const auto& row) { return std::string(row.param.name); });

}  // namespace
