// The installed tree stands on its own: `cmake --install` lays out programs, driver, data and
// manual page; no file of it (nor the build tree's driver and programs) holds a path of the build
// or source tree, and the installed mirt scans the shared virtual scanner through the server
// program installed beside it.
#include <signal.h>

#include <chrono>
#include <thread>

#include "tests/support/shared_scanner_bench.h"
#include "tests/tools/mirt_program.h"

namespace {

using namespace mirt_test;

bool IsElfFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    char magic[4] = {};
    in.read(magic, 4);
    return in.gcount() == 4 && magic[0] == 0x7f && magic[1] == 'E' && magic[2] == 'L' && magic[3] == 'F';
}

// The file's bytes as the loader maps them: debugging sections name the compiler's folders by
// nature (and are what `--strip` removes), so they are left out of the search.
std::vector<uint8_t> LoadedBytes(const fs::path& file, const fs::path& scratch) {
    const fs::path stripped = scratch / "stripped";
    const auto strip = ordavel::test::RunShellCommand("objcopy --strip-debug '" + file.string() + "' '" +
                                                      stripped.string() + "'");
    if (strip.exitCode != 0) return {};
    return ReadFile(stripped);
}

// Width and height from the PNG's header chunk (zero when it is not a PNG).
std::pair<uint32_t, uint32_t> PngSize(const fs::path& path) {
    const auto b = ReadFile(path);
    if (b.size() < 24 || b[1] != 'P' || b[12] != 'I') return {0, 0};
    auto be32 = [&](std::size_t at) { return (uint32_t{b[at]} << 24) | (b[at + 1] << 16) | (b[at + 2] << 8) | b[at + 3]; };
    return {be32(16), be32(20)};
}

bool Holds(const std::vector<uint8_t>& bytes, const std::string& text) {
    return std::search(bytes.begin(), bytes.end(), text.begin(), text.end()) != bytes.end();
}

class MirtInstall : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        root_ = new fs::path(ordavel::test::MakeScratchDir("mirt-install"));
        installRun_ = new MirtRun(ordavel::test::RunShellCommand("cmake --install '" + ordavel::test::BinaryDir() +
                                                                 "' --prefix '" + (*root_ / "prefix").string() + "'"));
    }
    static void TearDownTestSuite() {
        std::error_code ec;
        fs::remove_all(*root_, ec);
        delete root_;
        delete installRun_;
    }
    void SetUp() override { ASSERT_EQ(installRun_->exitCode, 0) << installRun_->output; }

    static fs::path prefix() { return *root_ / "prefix"; }

    static inline fs::path* root_ = nullptr;
    static inline MirtRun* installRun_ = nullptr;
};

TEST_F(MirtInstall, NoProgramOrLibraryHoldsABuildOrSourcePath) {
    if (ordavel::test::RunShellCommand("command -v objcopy").exitCode != 0) GTEST_SKIP() << "objcopy not installed";
    std::vector<fs::path> files;
    for (const auto& entry : fs::recursive_directory_iterator(prefix())) {
        if (entry.is_regular_file() && IsElfFile(entry.path())) files.push_back(entry.path());
    }
    // The installed layout holds the driver (twice: lib/ and the client's Windows directory),
    // mirt, the server, the client and the SANE backend.
    EXPECT_GE(files.size(), 6u);
    // The build tree's own driver and programs too: a driver copied out of it must not lean on it.
    for (const char* built : {"lib/libOrdavel.so", "bin/mirt", "bin/mirt-virtual-scanner"}) {
        files.push_back(fs::path(ordavel::test::BinaryDir()) / built);
    }
    const fs::path scratch = ordavel::test::MakeScratchDir("mirt-strings");
    for (const fs::path& file : files) {
        const auto bytes = LoadedBytes(file, scratch);
        ASSERT_FALSE(bytes.empty()) << file;
        EXPECT_FALSE(Holds(bytes, ordavel::test::BinaryDir())) << file << " holds the build tree's path";
        EXPECT_FALSE(Holds(bytes, MIRT_SOURCE_DIR)) << file << " holds the source tree's path";
    }
    std::error_code ec;
    fs::remove_all(scratch, ec);
}

TEST_F(MirtInstall, TheInstalledProgramScansTheSharedScannerWithItsOwnServer) {
    for (const char* file : {"bin/mirt", "bin/mirt-virtual-scanner", "lib/libOrdavel.so", "share/mirt/Mirt.def",
                             "share/mirt/virtual/reference.ini", "share/man/man1/mirt.1"}) {
        EXPECT_TRUE(fs::exists(prefix() / file)) << file;
    }
    // No server in the test: the installed driver must start one, and only its own tree has one.
    ordavel::test::SharedScannerBench bench({"chart", "ticket"}, 20, /*serve=*/false);
    // The server lingers after the scan long enough to be asked who it is.
    ordavel::platform::WriteProfileString(bench.config(), "Sharing", "Idle_Ms", "5000");
    const auto run = ordavel::test::RunInFolder(
        bench.folder(), "-u MIRT_VIRTUAL_SERVER -u MIRT_VIRTUAL_PRIVATE -u MIRT_DRIVER -u MIRT_DATA " + bench.environment(),
        "'" + (prefix() / "bin" / "mirt").string() + "' scan -f png --trim -o out");
    ASSERT_EQ(run.exitCode, 0) << run.output;
    const long server = bench.serverPid();
    ASSERT_GT(server, 0) << "no shared server ran";
    std::error_code ec;
    const fs::path serverProgram = fs::read_symlink("/proc/" + std::to_string(server) + "/exe", ec);
    ::kill(static_cast<pid_t>(server), SIGTERM);
    EXPECT_EQ(serverProgram, fs::canonical(prefix() / "bin" / "mirt-virtual-scanner"));
    // One page per sheet, 200 dpi over the whole bed: the A4 chart its whole length, the 7 inch
    // ticket trimmed to its own (and the backing the sensors' latency lets through, about a
    // tenth of an inch at most).
    const fs::path out = fs::path(bench.folder()) / "out";
    const auto chart = PngSize(out / "page001.png");
    const auto ticket = PngSize(out / "page002.png");
    EXPECT_EQ(chart.first, 1680u) << run.output;
    EXPECT_NEAR(chart.second, 11.69 * 200, 8) << run.output;
    EXPECT_NEAR(ticket.second, 7.0 * 200 + 12, 14) << run.output;
    EXPECT_FALSE(fs::exists(out / "page003.png"));
    // The server goes before the bench removes its folder.
    for (int i = 0; i < 200 && ::kill(static_cast<pid_t>(server), 0) == 0; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

}  // namespace
