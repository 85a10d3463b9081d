// What people who scan stacks rely on, shown by running the built mirt against the virtual
// scanner: whole pages where the paper was, tickets cut to their length, PDF and TIFF with their
// physical size, jammed sheets never saved as good pages, batches that check their output before
// any paper moves and never overwrite, a stop that leaves nothing half-written, and the first
// sheet at the entrance scanned from its top edge.
#include <fcntl.h>
#include <png.h>
#include <signal.h>
#include <tiffio.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <thread>

#include "tests/tools/mirt_program.h"
#include "virtual/builtin_pages.h"

namespace {

using namespace mirt_test;
namespace vs = ordavel::virtual_scanner;

struct GreyImage {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> pixels;
    uint8_t at(int x, int y) const { return pixels[static_cast<std::size_t>(y) * width + x]; }
};

GreyImage ReadPng(const fs::path& path) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    GreyImage out;
    if (png_image_begin_read_from_file(&image, path.c_str()) == 0) return out;
    image.format = PNG_FORMAT_GRAY;
    out.pixels.resize(PNG_IMAGE_SIZE(image));
    if (png_image_finish_read(&image, nullptr, out.pixels.data(), 0, nullptr) == 0) return {};
    out.width = static_cast<int>(image.width);
    out.height = static_cast<int>(image.height);
    return out;
}

// The PNG's pHYs chunk as dots per inch (0 without one).
double PngDpi(const fs::path& path) {
    const auto bytes = ReadFile(path);
    const std::string text(bytes.begin(), bytes.end());
    const std::size_t at = text.find("pHYs");
    if (at == std::string::npos || at + 13 > bytes.size() || bytes[at + 12] != 1) return 0;
    const uint32_t perMetre = (bytes[at + 4] << 24) | (bytes[at + 5] << 16) | (bytes[at + 6] << 8) | bytes[at + 7];
    return perMetre * 0.0254;
}

// The centre of the dark pixels in a box of +-`half` around (x, y).
std::pair<double, double> DarkCentre(const GreyImage& image, double x, double y, int half) {
    double sx = 0, sy = 0, n = 0;
    for (int yy = static_cast<int>(y) - half; yy <= static_cast<int>(y) + half; ++yy) {
        for (int xx = static_cast<int>(x) - half; xx <= static_cast<int>(x) + half; ++xx) {
            if (xx < 0 || yy < 0 || xx >= image.width || yy >= image.height || image.at(xx, yy) >= 80) continue;
            sx += xx;
            sy += yy;
            ++n;
        }
    }
    return n > 0 ? std::pair{sx / n, sy / n} : std::pair{-1000.0, -1000.0};
}

std::string Command(const std::string& command) { return ordavel::test::RunShellCommand(command).output; }

bool HaveTool(const char* tool) { return std::system((std::string("command -v ") + tool + " >/dev/null").c_str()) == 0; }

std::vector<std::string> FilesIn(const fs::path& dir) {
    std::vector<std::string> names;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(dir, ec)) names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

class MirtBatch : public MirtProgram {
protected:
    std::string config() const { return (dir_ / "scanner.ini").string(); }
};

// The chart's four solid squares, where the ground truth puts them: pixel = inches x 200, the
// A4 window and the A4 chart both centred by the paper guide.
TEST_F(MirtBatch, AnA4ChartIsScannedWholeWithItsCornerSquaresWhereThePaperHasThem) {
    const MirtRun run = RunMirt(dir_, "scan --single --page a4 -f png -o out", Scanner({"chart"}));
    ASSERT_EQ(run.exitCode, 0) << run.output;
    const GreyImage image = ReadPng(dir_ / "out" / "page001.png");
    ASSERT_EQ(image.width, 1654);
    ASSERT_EQ(image.height, 2339);
    const vs::ChartMarks marks = vs::TestChartMarks();
    for (double mx : {marks.left, marks.right}) {
        for (double my : {marks.top, marks.bottom}) {
            const auto [x, y] = DarkCentre(image, mx * 200, my * 200, 20);
            EXPECT_NEAR(x, mx * 200, 3) << "square at " << mx << ", " << my << " in";
            EXPECT_NEAR(y, my * 200, 4) << "square at " << mx << ", " << my << " in";
        }
    }
    EXPECT_NEAR(PngDpi(dir_ / "out" / "page001.png"), 200, 0.5);
}

TEST_F(MirtBatch, TheFeedFirstFlagIsGoneAndASheetAtTheEntranceIsScannedFromItsTopEdge) {
    EXPECT_EQ(RunMirt(dir_, "scan --feed-first -o out").exitCode, 2);
    const std::string scanner = Scanner({"chart"});
    ordavel::platform::WriteProfileString(config(), "Feeder", "First_Sheet", "Entrance");
    const MirtRun run = RunMirt(dir_, "scan --single --page a4 -f png -o out", scanner);
    ASSERT_EQ(run.exitCode, 0) << run.output;
    const GreyImage image = ReadPng(dir_ / "out" / "page001.png");
    ASSERT_GT(image.height, 0);
    const vs::ChartMarks marks = vs::TestChartMarks();
    // A fed sheet stops up to a poll's travel (about 10 to 20 steps) past sensor 1, so its top
    // lies that much above the window's top; it never loses the 0.73 inch (146 lines) of the
    // positioning move.
    const auto [x, y] = DarkCentre(image, marks.left * 200, marks.top * 200 - 12, 30);
    EXPECT_NEAR(x, marks.left * 200, 3);
    EXPECT_LE(y, marks.top * 200 + 2);
    EXPECT_GE(y, marks.top * 200 - 25);
}

TEST_F(MirtBatch, ATicketIsTrimmedToItsOwnLength) {
    const MirtRun run = RunMirt(dir_, "scan --page ticket --trim -f png -o out", Scanner({"ticket", "ticket"}));
    ASSERT_EQ(run.exitCode, 0) << run.output;
    for (const char* name : {"page001.png", "page002.png"}) {
        const GreyImage image = ReadPng(dir_ / "out" / name);
        EXPECT_EQ(image.width, 709) << name;
        EXPECT_NEAR(image.height, 7.0 * 200, 8) << name << ": the 7 inch ticket, not the 200 mm window";
    }
}

TEST_F(MirtBatch, APdfOfABatchHasOnePagePerSheetAtThePapersSize) {
    if (!HaveTool("pdfinfo") || !HaveTool("pdfimages")) GTEST_SKIP() << "poppler-utils not installed";
    const MirtRun run = RunMirt(dir_, "scan --page a4 -f pdf -o out", Scanner({"chart", "document", "chart"}));
    ASSERT_EQ(run.exitCode, 0) << run.output;
    EXPECT_EQ(FilesIn(dir_ / "out"), std::vector<std::string>{"page001.pdf"});
    const std::string pdf = (dir_ / "out" / "page001.pdf").string();
    const std::string info = Command("pdfinfo -f 1 -l 3 '" + pdf + "'");
    EXPECT_NE(info.find("Pages:           3"), std::string::npos) << info;
    // 1654 x 2339 pixels at 200 dpi: 595.4 x 842.0 points, A4.
    for (const char* page : {"Page    1 size:  595.44 x 842.04 pts (A4)", "Page    3 size:  595.44 x 842.04 pts (A4)"}) {
        EXPECT_NE(info.find(page), std::string::npos) << info;
    }
    EXPECT_NE(Command("pdfimages -list '" + pdf + "'").find("200   200"), std::string::npos) << "200 dpi images";
    if (HaveTool("qpdf")) {
        EXPECT_EQ(std::system(("qpdf --check '" + pdf + "' >/dev/null").c_str()), 0);
    }

    // Line art is stored as CCITT Group 4.
    ASSERT_EQ(RunMirt(dir_, "scan --single --bw -f pdf -o bw", Scanner({"document"})).exitCode, 0);
    EXPECT_NE(Command("pdfimages -list '" + (dir_ / "bw" / "page001.pdf").string() + "'").find("ccitt"),
              std::string::npos);
}

struct DpiCase {
    const char* name;
    const char* arguments;
    const char* file;
    double dpi;
};

class MirtResolution : public MirtBatch, public ::testing::WithParamInterface<DpiCase> {};

TEST_P(MirtResolution, IsWrittenIntoTheFile) {
    const MirtRun run = RunMirt(dir_, std::string("scan --single --page narrow -o out ") + GetParam().arguments,
                                Scanner({"chart"}));
    ASSERT_EQ(run.exitCode, 0) << run.output;
    const fs::path path = dir_ / "out" / GetParam().file;
    if (path.extension() == ".png") {
        EXPECT_NEAR(PngDpi(path), GetParam().dpi, 0.5);
        return;
    }
    TIFF* tiff = TIFFOpen(path.c_str(), "r");
    ASSERT_NE(tiff, nullptr);
    float x = 0, y = 0;
    uint16_t unit = 0;
    int pages = 0;
    do {
        ++pages;
        EXPECT_EQ(TIFFGetField(tiff, TIFFTAG_XRESOLUTION, &x), 1);
        EXPECT_EQ(TIFFGetField(tiff, TIFFTAG_YRESOLUTION, &y), 1);
        TIFFGetFieldDefaulted(tiff, TIFFTAG_RESOLUTIONUNIT, &unit);
        EXPECT_FLOAT_EQ(x, static_cast<float>(GetParam().dpi));
        EXPECT_FLOAT_EQ(y, static_cast<float>(GetParam().dpi));
        EXPECT_EQ(unit, RESUNIT_INCH);
    } while (TIFFReadDirectory(tiff) == 1);
    TIFFClose(tiff);
    EXPECT_EQ(pages, 1);
}

INSTANTIATE_TEST_SUITE_P(Formats, MirtResolution,
                         ::testing::Values(DpiCase{"Png200", "-f png", "page001.png", 200},
                                           DpiCase{"Png300LineArt", "-f png --bw --dpi 300", "page001.png", 300},
                                           DpiCase{"Tiff300", "-f tiff --dpi 300", "page001.tif", 300},
                                           DpiCase{"MultiPageTiffLineArt", "-f tiff --multipage --bw", "page001.tif", 200}),
                         [](const auto& param) { return std::string(param.param.name); });

TEST_F(MirtBatch, AMultiPageTiffHoldsEverySheet) {
    const MirtRun run = RunMirt(dir_, "scan -f tiff --multipage -o out", Scanner({"chart", "ticket", "document"}));
    ASSERT_EQ(run.exitCode, 0) << run.output;
    EXPECT_EQ(FilesIn(dir_ / "out"), std::vector<std::string>{"page001.tif"});
    TIFF* tiff = TIFFOpen((dir_ / "out" / "page001.tif").c_str(), "r");
    ASSERT_NE(tiff, nullptr);
    EXPECT_EQ(TIFFNumberOfDirectories(tiff), 3);
    TIFFClose(tiff);
}

TEST_F(MirtBatch, AJammedSheetIsNotSavedAsAGoodPage) {
    // The second sheet stops half-way past the scan line, while it is being scanned.
    const MirtRun run = RunMirt(dir_, "scan --page a4 -f png -o out",
                                Scanner({"chart", "chart"}, {{{"Type", "Jam"}, {"Sheet", "2"}, {"At_Position", "1200"}}}));
    EXPECT_EQ(run.exitCode, 4) << run.output;
    EXPECT_NE(run.output.find("paper jam"), std::string::npos) << run.output;
    EXPECT_NE(run.output.find("page 2 was not saved as a good page"), std::string::npos) << run.output;
    EXPECT_EQ(FilesIn(dir_ / "out"), (std::vector<std::string>{"page001.png", "page002-jammed.png"})) << run.output;
    // In a PDF the jammed page is left out.
    const MirtRun pdf = RunMirt(dir_, "scan --page a4 -f pdf -o pdf",
                                Scanner({"chart", "chart"}, {{{"Type", "Jam"}, {"Sheet", "2"}, {"At_Position", "1200"}}}));
    EXPECT_EQ(pdf.exitCode, 4) << pdf.output;
    if (HaveTool("pdfinfo")) {
        EXPECT_NE(Command("pdfinfo '" + (dir_ / "pdf" / "page001.pdf").string() + "'").find("Pages:           1"),
                  std::string::npos);
    }
}

TEST_F(MirtBatch, ABadOutputDirectoryIsRefusedBeforeTheScannerIsTouched) {
    std::ofstream(dir_ / "blocker") << "a file where the directory would be";
    // An uncalibrated scanner: anything that reached it would calibrate first.
    fs::remove_all(dir_ / "tmp");
    const MirtRun run = RunMirt(dir_, "scan -o blocker/scans", Scanner({"chart"}));
    EXPECT_EQ(run.exitCode, 8) << run.output;
    EXPECT_NE(run.output.find("cannot create the output directory blocker/scans: Not a directory"), std::string::npos)
        << run.output;
    EXPECT_FALSE(fs::exists(dir_ / "tmp" / "cr.dat")) << "no calibration ran, no sheet moved";
    EXPECT_EQ(run.output.find("calibrat"), std::string::npos) << run.output;
}

TEST_F(MirtBatch, ASecondBatchIntoTheSameDirectoryContinuesInsteadOfOverwriting) {
    const std::string scanner = Scanner({"chart", "ticket"});
    ASSERT_EQ(RunMirt(dir_, "scan --page a4 -f png -o out", scanner).exitCode, 0);
    const auto first = ReadFile(dir_ / "out" / "page001.png");
    const MirtRun second = RunMirt(dir_, "scan --page a4 -f png -o out", scanner);
    ASSERT_EQ(second.exitCode, 0) << second.output;
    EXPECT_EQ(FilesIn(dir_ / "out"),
              (std::vector<std::string>{"page001.png", "page002.png", "page003.png", "page004.png"}));
    EXPECT_EQ(ReadFile(dir_ / "out" / "page001.png"), first);
    // Asked to start over, the batch is refused before it scans.
    const MirtRun again = RunMirt(dir_, "scan --page a4 -f png -o out --batch-start 1", scanner);
    EXPECT_EQ(again.exitCode, 8) << again.output;
    EXPECT_NE(again.output.find("page001.png exists"), std::string::npos) << again.output;
    EXPECT_EQ(ReadFile(dir_ / "out" / "page001.png"), first);
}

TEST_F(MirtBatch, ABatchPatternNamesTheFilesAndBatchPrintListsThem) {
    const MirtRun run = RunMirt(dir_, "scan --batch=p%03d.png --batch-start 7 --batch-print", Scanner({"chart", "ticket"}));
    ASSERT_EQ(run.exitCode, 0) << run.output;
    EXPECT_TRUE(fs::exists(dir_ / "p007.png"));
    EXPECT_TRUE(fs::exists(dir_ / "p008.png"));
    EXPECT_NE(run.output.find("p007.png\np008.png\n"), std::string::npos) << run.output;
    EXPECT_EQ(RunMirt(dir_, "scan --batch=pages.png", Scanner({"chart"})).exitCode, 2) << "a pattern needs a number";
}

TEST_F(MirtBatch, ASinglePageGoesToStandardOutput) {
    const std::string mirt = ordavel::test::BinaryDir() + "/bin/mirt";
    const std::string command = "cd '" + dir_.string() + "' && env MIRT_STATE_DIR='" + (dir_ / "tmp").string() +
                                "' MIRT_VIRTUAL_PRIVATE=1 " + Scanner({"chart", "ticket"}) + " '" + mirt +
                                "' scan --page narrow -f png -o - > page.png 2>log.txt";
    ASSERT_EQ(std::system(command.c_str()), 0);
    const GreyImage image = ReadPng(dir_ / "page.png");
    EXPECT_EQ(image.width, 1100);
    EXPECT_EQ(image.height, 1892);
}

TEST_F(MirtBatch, AStopDuringAPageLeavesNoPartialFileAndTheNextRunWorks) {
    // The shared scanner in scaled real time, so that the signal lands while a page is scanned.
    const std::string scanner = Scanner({"chart", "chart", "chart"});
    ordavel::platform::WriteProfileString(config(), "Sharing", "Speed", "4");
    ordavel::platform::WriteProfileString(config(), "Sharing", "Idle_Ms", "500");
    const std::string mirt = ordavel::test::BinaryDir() + "/bin/mirt";
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        ASSERT_EQ(chdir(dir_.c_str()), 0);
        setenv("MIRT_STATE_DIR", (dir_ / "tmp").c_str(), 1);
        setenv("MIRT_VIRTUAL_SCANNER", config().c_str(), 1);
        unsetenv("MIRT_VIRTUAL_PRIVATE");
        const int log = ::open("log.txt", O_WRONLY | O_CREAT | O_TRUNC, 0644);
        dup2(log, 2);
        execl(mirt.c_str(), mirt.c_str(), "scan", "--page", "a4", "-f", "png", "-o", "out", nullptr);
        _exit(127);
    }
    // Each page takes about 1.7 s at this speed: 2.5 s is well inside the second one.
    std::this_thread::sleep_for(std::chrono::milliseconds(2500));
    kill(child, SIGINT);
    int status = 0;
    waitpid(child, &status, 0);
    const std::string log = [&] {
        std::ifstream in(dir_ / "log.txt");
        return std::string(std::istreambuf_iterator<char>(in), {});
    }();
    ASSERT_TRUE(WIFEXITED(status)) << log;
    EXPECT_EQ(WEXITSTATUS(status), 130) << log;
    EXPECT_NE(log.find("interrupted"), std::string::npos) << log;
    const auto files = FilesIn(dir_ / "out");
    for (const std::string& name : files) EXPECT_EQ(name.find("partial"), std::string::npos) << name;
    ASSERT_LT(files.size(), 3u) << log;
    for (const std::string& name : files) EXPECT_EQ(ReadPng(dir_ / "out" / name).height, 2339) << name << " is whole";
    // The scanner is left ready: a private one of the next run scans its feeder in full.
    const MirtRun next = RunMirt(dir_, "scan --page a4 -f png -o out", "MIRT_VIRTUAL_SCANNER=" + config());
    EXPECT_EQ(next.exitCode, 0) << next.output;
}

TEST_F(MirtBatch, StatusDevicesAndVersionAnswerInTheirExitCodes) {
    EXPECT_EQ(RunMirt(dir_, "status", Scanner({})).exitCode, 14);
    const MirtRun devices = RunMirt(dir_, "-L", Scanner({"chart"}));
    EXPECT_EQ(devices.exitCode, 0) << devices.output;
    EXPECT_NE(devices.output.find("virtual:" + config()), std::string::npos) << devices.output;
    EXPECT_NE(devices.output.find("reference.ini"), std::string::npos) << devices.output;
    const MirtRun chosen = RunMirt(dir_, "-d virtual:" + config() + " status");
    EXPECT_EQ(chosen.exitCode, 0) << chosen.output;
    EXPECT_EQ(RunMirt(dir_, "-d virtual:/no/such.ini status").exitCode, 3);
    const MirtRun version = RunMirt(dir_, "--version");
    EXPECT_EQ(version.exitCode, 0);
    EXPECT_EQ(version.output.rfind("mirt ", 0), 0u) << version.output;
}

}  // namespace

namespace {

struct ToneCase {
    const char* name;
    const char* arguments;
    double minDarkShare;  // of the ticket's pixels below 128 (grey) or black (line art)
    double maxDarkShare;
};

class MirtTone : public MirtBatch, public ::testing::WithParamInterface<ToneCase> {};

// The ticket's grey stock: white in line art at the middle threshold, black once the threshold
// rises above the stock's grey; brightness and gamma move the grey page the same way.
TEST_P(MirtTone, TheCurveReachesTheScan) {
    const MirtRun run = RunMirt(dir_, std::string("scan --single --page ticket --trim -f png -o out ") + GetParam().arguments,
                                Scanner({"ticket"}));
    ASSERT_EQ(run.exitCode, 0) << run.output;
    const GreyImage image = ReadPng(dir_ / "out" / "page001.png");
    ASSERT_GT(image.pixels.size(), 0u);
    const auto dark = std::count_if(image.pixels.begin(), image.pixels.end(), [](uint8_t v) { return v < 128; });
    const double share = static_cast<double>(dark) / static_cast<double>(image.pixels.size());
    EXPECT_GE(share, GetParam().minDarkShare);
    EXPECT_LE(share, GetParam().maxDarkShare);
}

INSTANTIATE_TEST_SUITE_P(Settings, MirtTone,
                         ::testing::Values(ToneCase{"LineArtMiddleThreshold", "--mode lineart", 0.0, 0.2},
                                           ToneCase{"LineArtThresholdAboveTheStock", "--mode lineart --threshold 250", 0.8, 1.0},
                                           ToneCase{"GreyDarkened", "--brightness -150", 0.8, 1.0},
                                           ToneCase{"GreyGammaLight", "--gamma 3.0", 0.0, 0.2}),
                         [](const auto& param) { return std::string(param.param.name); });

}  // namespace

namespace {

// A sheet that follows one shorter than the scan area keeps its top. Scanned over the whole bed
// (11.7 inches), a ticket is far shorter than the window and the A4 chart (11.69 inches) a little:
// the window then ends with the chart's tail between paper sensor 1 and the scan line, the next
// sheet not yet at the sensors. The feed after either must bring the next sheet to sensor 1 and
// position it there; a feed that took the gap for an empty path would run the motor on and carry
// the sheet past the scan position. Each chart has its four corner squares where the paper has
// them.
TEST_F(MirtBatch, ASheetAfterAShorterOneIsScannedFromItsTopOverTheWholeBed) {
    const MirtRun run = RunMirt(dir_, "scan -f png -o out", Scanner({"ticket", "chart", "chart"}));
    ASSERT_EQ(run.exitCode, 0) << run.output;
    ASSERT_EQ(FilesIn(dir_ / "out"), (std::vector<std::string>{"page001.png", "page002.png", "page003.png"}))
        << run.output;
    // The A4 chart, 8.27 inches wide, centred by the paper guide on bed pixel 840.
    const auto column = [](double inches) { return 840 + (inches - 8.27 / 2) * 200; };
    const vs::ChartMarks marks = vs::TestChartMarks();
    for (const char* name : {"page002.png", "page003.png"}) {
        const GreyImage image = ReadPng(dir_ / "out" / name);
        ASSERT_EQ(image.width, 1680) << name;
        ASSERT_EQ(image.height, 2340) << name;
        for (double mx : {marks.left, marks.right}) {
            for (double my : {marks.top, marks.bottom}) {
                const auto [x, y] = DarkCentre(image, column(mx), my * 200 - 12, 30);
                EXPECT_NEAR(x, column(mx), 3) << name << ": square at " << mx << ", " << my << " in";
                // A fed sheet stops up to a poll's travel (10 to 20 steps) past sensor 1 before it
                // is positioned, so the squares lie at most that much higher; a motor run on after
                // the sheet before takes the top half inch with its squares.
                EXPECT_LE(y, my * 200 + 2) << name << ": square at " << mx << ", " << my << " in";
                EXPECT_GE(y, my * 200 - 25) << name << ": square at " << mx << ", " << my << " in";
            }
        }
    }
}

}  // namespace
