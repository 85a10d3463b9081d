// The driver's state on a machine with several users and reboots, shown by running the built mirt
// as real users (numeric ids with homes of their own in a scratch folder) against the virtual
// scanner: the calibration lives in each user's state directory, survives the system temporary
// directory being emptied, and one user's files are neither touched nor readable by another.
#include <sys/stat.h>
#include <unistd.h>

#include <map>

#include "tests/support/child_process.h"
#include "tests/support/param_names.h"
#include "tests/support/pimlet_pages.h"
#include "tests/support/scratch_files.h"
#include "tests/tools/mirt_program.h"

namespace {

using namespace mirt_test;

// Two users of the machine, neither of them root, so that each direction of "unreadable" counts.
constexpr unsigned kUsers[] = {60001, 60002};

// A machine in a scratch folder: a home per user, and a system temporary directory and runtime
// folders that a reboot empties.
class Machine {
public:
    Machine() : root_(ordavel::test::MakeScratchDir("machine")) {
        fs::permissions(root_, fs::perms::all & ~fs::perms::group_write & ~fs::perms::others_write);
        fs::copy_file(ordavel::test::DataDir() + "/virtual/reference.ini", scanner());
        for (const unsigned uid : kUsers) {
            fs::create_directory(home(uid));
            Own(home(uid), uid, 0700);
        }
        boot();
    }
    ~Machine() {
        std::error_code ec;
        fs::remove_all(root_, ec);
    }

    // Everything in the temporary and runtime folders is gone, as after a restart.
    void reboot() {
        std::error_code ec;
        fs::remove_all(tmp(), ec);
        for (const unsigned uid : kUsers) fs::remove_all(runtime(uid), ec);
        ++boots_;
        boot();
    }

    fs::path home(unsigned uid) const { return root_ / ("home-" + std::to_string(uid)); }
    fs::path stateDir(unsigned uid) const { return home(uid) / ".local" / "state" / "mirt"; }
    fs::path scanner() const { return root_ / "scanner.ini"; }

    // A command line run as `uid` from its home, with the environment a login gives it and none
    // of the driver's own overrides.
    MirtRun run(unsigned uid, const std::string& command) const {
        const std::string id = std::to_string(uid);
        return ordavel::test::RunShellCommand(
            "cd '" + home(uid).string() + "' && env -u MIRT_STATE_DIR -u XDG_STATE_HOME -u MIRT_RUNTIME_DIR HOME='" +
            home(uid).string() + "' TMPDIR='" + tmp().string() + "' XDG_RUNTIME_DIR='" + runtime(uid).string() +
            "' setpriv --reuid=" + id + " --regid=" + id + " --clear-groups " + command);
    }
    MirtRun mirt(unsigned uid, const std::string& arguments) const {
        return run(uid, "env MIRT_VIRTUAL_PRIVATE=1 MIRT_VIRTUAL_SCANNER='" + scanner().string() + "' '" +
                            ordavel::test::BinaryDir() + "/bin/mirt' " + arguments);
    }

    // Everything under `path` (links themselves, not what they name) becomes the user's.
    static void give(const fs::path& path, unsigned uid) {
        ASSERT_EQ(::lchown(path.c_str(), uid, uid), 0) << path;
        if (!fs::is_directory(fs::symlink_status(path))) return;
        for (const auto& entry : fs::recursive_directory_iterator(path)) {
            ASSERT_EQ(::lchown(entry.path().c_str(), uid, uid), 0) << entry.path();
        }
    }

private:
    static void Own(const fs::path& path, unsigned uid, mode_t mode) {
        ASSERT_EQ(::chown(path.c_str(), uid, uid), 0) << path;
        ASSERT_EQ(::chmod(path.c_str(), mode), 0) << path;
    }
    fs::path tmp() const { return root_ / ("tmp-boot" + std::to_string(boots_)); }
    fs::path runtime(unsigned uid) const { return root_ / ("run-" + std::to_string(uid) + "-boot" + std::to_string(boots_)); }
    void boot() {
        fs::create_directory(tmp());
        ASSERT_EQ(::chmod(tmp().c_str(), 01777), 0);
        for (const unsigned uid : kUsers) {
            fs::create_directory(runtime(uid));
            Own(runtime(uid), uid, 0700);
        }
    }

    fs::path root_;
    int boots_ = 0;
};

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
        if (step.kind == Step::Scan) {
            EXPECT_EQ(run.output.find("calibrating the virtual scanner") != std::string::npos, step.calibrates)
                << "user " << uid << ", step " << scans << ":\n" << run.output;
            const ordavel::test::Bitmap page{ReadFile(machine.home(uid) / out / "page001.bmp")};
            EXPECT_GT(ordavel::test::AlignedAgreement("chart", page), 0.9) << "user " << uid << ", step " << scans;
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
