// The driver's state on a machine with several users and reboots, shown by running the built mirt
// as real users (numeric ids with homes of their own in a scratch folder) against the virtual
// scanner: the calibration lives in each user's state directory, survives the system temporary
// directory being emptied, and one user's files are neither touched nor readable by another.
#include <sys/stat.h>

#include <map>

#include "tests/tools/scratch_machine.h"
#include "tests/support/param_names.h"
#include "tests/support/pimlet_pages.h"
#include "tests/support/scratch_files.h"

namespace {

using namespace mirt_test;

// Every file of a state directory with its content: what another user's run must leave alone.
std::map<std::string, std::vector<uint8_t>> Snapshot(const fs::path& dir) {
    std::map<std::string, std::vector<uint8_t>> files;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(dir, ec)) files[entry.path().filename().string()] = ReadFile(entry.path());
    return files;
}

struct Step {
    enum Kind { Scan, Calibrate, Reboot } kind;
    int user = 0;              // index into kUsers
    bool calibrates = false;   // the scan finds no calibration of this user and makes one first
};

struct StateCase {
    const char* name;
    std::vector<Step> steps;
};

void PrintTo(const StateCase& c, std::ostream* os) { *os << c.name; }

class MirtUsers : public ::testing::TestWithParam<StateCase> {};

TEST_P(MirtUsers, EachUserKeepsAPrivateCalibrationAcrossReboots) {
    if (!ordavel::test::RunningAsRoot()) GTEST_SKIP() << "needs root to run as other users";
    Machine machine;
    int scans = 0;
    for (const Step& step : GetParam().steps) {
        if (step.kind == Step::Reboot) {
            machine.reboot();
            continue;
        }
        const unsigned uid = kUsers[step.user];
        const unsigned other = kUsers[1 - step.user];
        const auto othersFiles = Snapshot(machine.stateDir(other));
        const std::string out = "out" + std::to_string(++scans);
        const MirtRun run = machine.mirt(uid, step.kind == Step::Calibrate ? "calibrate --load-calibration-sheet"
                                                                          : "scan --single --page narrow -o " + out);
        ASSERT_EQ(run.exitCode, 0) << "user " << uid << ", step " << scans << ":\n" << run.output;
        EXPECT_EQ(Snapshot(machine.stateDir(other)), othersFiles) << "user " << uid << " changed another user's files";
        EXPECT_TRUE(fs::is_empty(machine.tmp())) << "the driver's files belong in the state directory, not in $TMPDIR";
        if (step.kind == Step::Scan) {
            EXPECT_EQ(run.output.find("calibrating the virtual scanner") != std::string::npos, step.calibrates)
                << "user " << uid << ", step " << scans << ":\n" << run.output;
            const ordavel::test::Bitmap page{ReadFile(machine.home(uid) / out / "page001.bmp")};
            EXPECT_GT(ordavel::test::AlignedAgreement("chart", page, kReach), 0.9) << "user " << uid << ", step " << scans;
        }
    }
    for (int user = 0; user < 2; ++user) {
        const unsigned uid = kUsers[user];
        struct stat info {};
        ASSERT_EQ(::lstat(machine.stateDir(uid).c_str(), &info), 0) << "user " << uid << " has no state directory";
        EXPECT_EQ(info.st_uid, uid);
        EXPECT_EQ(info.st_mode & 07777, 0700u);
        // Nothing of it can be listed or read by the other user.
        const fs::path calibration = machine.stateDir(uid) / "cr.dat";
        EXPECT_TRUE(fs::exists(calibration));
        const MirtRun peek = machine.run(kUsers[1 - user], "sh -c \"ls '" + machine.stateDir(uid).string() + "' || cat '" +
                                                               calibration.string() + "'\"");
        EXPECT_NE(peek.exitCode, 0) << peek.output;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Machines, MirtUsers,
    ::testing::Values(
        StateCase{"ARebootKeepsTheCalibration",
                  {{Step::Calibrate, 0}, {Step::Reboot}, {Step::Scan, 0, false}, {Step::Scan, 1, true}}},
        StateCase{"ASecondUserCalibratesForThemselvesAndTheFirstKeepsTheirs",
                  {{Step::Scan, 0, true}, {Step::Scan, 1, true}, {Step::Scan, 1, false}, {Step::Scan, 0, false}}},
        StateCase{"TwoUsersTakeTurnsAcrossReboots",
                  {{Step::Scan, 0, true}, {Step::Reboot}, {Step::Scan, 1, true}, {Step::Reboot}, {Step::Scan, 0, false},
                   {Step::Scan, 1, false}, {Step::Reboot}, {Step::Scan, 0, false}}}),
    ordavel::test::ReadableName{});

}  // namespace

namespace {

using namespace mirt_test;

// A symbolic link planted where the driver keeps its files: `name` in the state directory, or
// the state directory itself when empty. It points into a folder of the user's other files.
struct PlantedLinkCase {
    const char* name;
    const char* entry;
    bool dangling;  // the link names a file that does not exist yet
    const char* reason;
};

void PrintTo(const PlantedLinkCase& c, std::ostream* os) { *os << c.name; }

class MirtPlantedLink : public ::testing::TestWithParam<PlantedLinkCase> {};

TEST_P(MirtPlantedLink, IsRefusedWithItsNameAndNothingIsWrittenThroughIt) {
    if (!ordavel::test::RunningAsRoot()) GTEST_SKIP() << "needs root to run as another user";
    const PlantedLinkCase& c = GetParam();
    Machine machine;
    const unsigned uid = kUsers[0];
    const fs::path others = machine.home(uid) / "documents";
    const fs::path victim = others / "letter.txt";
    const std::string victimText = "the user's own data\n";
    const fs::path state = machine.stateDir(uid);
    fs::create_directories(others);
    fs::create_directories(state.parent_path());
    { std::ofstream(victim) << victimText; }
    const bool wholeDirectory = std::string(c.entry).empty();
    const fs::path link = wholeDirectory ? state : state / c.entry;
    if (!wholeDirectory) fs::create_directory(state);
    fs::permissions(state.parent_path(), fs::perms::owner_all);
    fs::create_symlink(wholeDirectory ? others : (c.dangling ? others / "new.dat" : victim), link);
    machine.give(machine.home(uid), uid);

    const MirtRun run = machine.mirt(uid, "scan --single --page narrow -o out");
    EXPECT_EQ(run.exitCode, 9) << run.output;
    EXPECT_NE(run.output.find(link.string() + c.reason), std::string::npos) << run.output;
    // The link is left for the user to look at, and what it names is as it was.
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_EQ(ordavel::test::ReadWholeFile(victim.string()), victimText);
    std::vector<std::string> inOthers;
    for (const auto& entry : fs::directory_iterator(others)) inOthers.push_back(entry.path().filename().string());
    EXPECT_EQ(inOthers, std::vector<std::string>{"letter.txt"}) << "a file was made through the link";
    const fs::path out = machine.home(uid) / "out";
    EXPECT_TRUE(!fs::exists(out) || fs::is_empty(out)) << "scanned although the driver's files are unsafe";
}

INSTANTIATE_TEST_SUITE_P(
    Plantings, MirtPlantedLink,
    ::testing::Values(PlantedLinkCase{"TheStateDirectoryItself", "", false, " is not a directory of its own"},
                      PlantedLinkCase{"TheCalibration", "cr.dat", false, " is a symbolic link"},
                      PlantedLinkCase{"TheShadingData", "FINE.PXL", false, " is a symbolic link"},
                      PlantedLinkCase{"AWorkFile", "finalscn.pxl", false, " is a symbolic link"},
                      PlantedLinkCase{"TheSettings", "Mirt.def", false, " is a symbolic link"},
                      PlantedLinkCase{"AGammaTable", "gamma_8.gam", false, " is a symbolic link"},
                      PlantedLinkCase{"TheVirtualScannersCalibrationSheet", "mirt-calibration-scanner.ini", false,
                                      " is a symbolic link"},
                      PlantedLinkCase{"TheLockFile", "Mirt.lock", false, " is a symbolic link"},
                      PlantedLinkCase{"ACalibrationNotYetMade", "calibration.commit", true, " is a symbolic link"}),
    ordavel::test::ReadableName{});

}  // namespace
