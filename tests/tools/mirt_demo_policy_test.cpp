// When mirt stands in the demonstration scanner for a missing one, shown by running the built
// mirt as a real user on a scratch machine whose device tree, device nodes and udev folders are
// the test's: a scanner the user may not open, a machine that had a scanner set up, and one that
// never had one.
#include <fstream>

#include "mirt_usb_ids.h"
#include "tests/support/fake_usb_tree.h"
#include "tests/support/param_names.h"
#include "tests/support/pimlet_pages.h"
#include "tests/tools/scratch_machine.h"

namespace {

using namespace mirt_test;

// What the machine has besides no scanner the driver can open.
enum class Setup {
    Nothing,
    ScannerNodeOfRoot,      // our scanner is plugged in; its node is root's alone (no udev access)
    OtherDeviceOfRoot,      // another device's node is root's alone
    InstallerRule,          // the installer's udev rule for the scanner, the scanner unplugged
    HardwareDatabaseEntry,  // a hwdb entry for the scanner, the scanner unplugged
    RuleForOtherDevice,     // a udev rule that names other identifiers only
    UserUsedARealScanner,   // this user's record of having scanned with a real scanner
};

struct DemoCase {
    const char* name;
    Setup setup;
    const char* arguments;
    int exitCode;
    const char* says;  // a line mirt writes on standard error
};

void PrintTo(const DemoCase& c, std::ostream* os) { *os << c.name; }

class MirtDemoPolicy : public ::testing::TestWithParam<DemoCase> {
protected:
    // A USB device in the machine's device tree with its node, root's alone.
    void plugIn(uint16_t vendor, uint16_t product) {
        ASSERT_TRUE(ordavel::test::PlugInUsbDevice(machine_.root().string(), vendor, product, 4, 0600));
    }
    void write(const fs::path& path, const std::string& text) {
        fs::create_directories(path.parent_path());
        std::ofstream(path) << text;
    }
    std::string environment() const { return ordavel::test::UsbTreeEnvironment(machine_.root().string()); }

    Machine machine_;
};

TEST_P(MirtDemoPolicy, NeverScansTheDemonstrationScannerWhereTheUsersOwnIsExpected) {
    if (!ordavel::test::RunningAsRoot()) GTEST_SKIP() << "needs root to run as another user";
    const DemoCase& c = GetParam();
    const unsigned uid = kUsers[0];
    const fs::path r = machine_.root();
    switch (c.setup) {
    case Setup::Nothing: break;
    case Setup::ScannerNodeOfRoot: plugIn(MIRT_USB_VENDOR_ID, MIRT_SCANNER_PRODUCT_ID); break;
    case Setup::OtherDeviceOfRoot: plugIn(0x1d6b, 0x0002); break;
    case Setup::InstallerRule:
        write(r / "rules.d" / "70-mirt-installed-drivers.rules",
              "SUBSYSTEM==\"usb\", ENV{DEVTYPE}==\"usb_device\", ATTR{idVendor}==\"f1d7\", ATTR{idProduct}==\"5c01\", "
              "TAG+=\"uaccess\"\n");
        break;
    case Setup::HardwareDatabaseEntry: write(r / "hwdb.d" / "60-scanner.hwdb", "usb:vF1D7p5C01*\n libsane_matched=yes\n"); break;
    case Setup::RuleForOtherDevice:
        write(r / "rules.d" / "50-camera.rules", "ATTR{idVendor}==\"04a9\", ATTR{idProduct}==\"3218\", TAG+=\"uaccess\"\n");
        break;
    case Setup::UserUsedARealScanner: {
        const fs::path state = machine_.stateDir(uid);
        write(state / "real-scanner-used", "used\n");
        fs::permissions(state, fs::perms::owner_all);
        machine_.give(machine_.home(uid) / ".local", uid);
        break;
    }
    }
    // Every run says which scanner it used: the second as well as the first.
    for (int run = 1; run <= 2; ++run) {
        const std::string out = "out" + std::to_string(run);
        const MirtRun result = machine_.mirtWith(uid, environment(), std::string(c.arguments) + " -o " + out);
        EXPECT_EQ(result.exitCode, c.exitCode) << result.output;
        std::size_t lines = 0;
        for (std::size_t at = result.output.find(c.says); at != std::string::npos; at = result.output.find(c.says, at + 1)) ++lines;
        EXPECT_EQ(lines, 1u) << "run " << run << " should say \"" << c.says << "\" once:\n" << result.output;
        const fs::path page = machine_.home(uid) / out / "page001.bmp";
        if (c.exitCode == 0) {
            const ordavel::test::Bitmap bmp{ReadFile(page)};
            EXPECT_GT(ordavel::test::AlignedAgreement("chart", bmp, kReach), 0.9) << "the demonstration feeder's first sheet";
        } else {
            EXPECT_FALSE(fs::exists(page)) << "scanned although no scanner of the user's may be used";
        }
    }
}

constexpr const char* kDemo = "no scanner attached: using the demonstration scanner";
constexpr const char* kScan = "scan --single --page narrow";

INSTANTIATE_TEST_SUITE_P(
    Machines, MirtDemoPolicy,
    ::testing::Values(
        DemoCase{"AMachineThatNeverHadAScannerScansTheDemo", Setup::Nothing, kScan, 0, kDemo},
        DemoCase{"AnotherDevicesNodeIsNotAScanner", Setup::OtherDeviceOfRoot, kScan, 0, kDemo},
        DemoCase{"ARuleForAnotherDeviceIsNotAScannerSetUp", Setup::RuleForOtherDevice, kScan, 0, kDemo},
        DemoCase{"AScannerThisUserMayNotOpenIsReportedWithTheAccessHint", Setup::ScannerNodeOfRoot, kScan, 15,
                 "see the README's section \"Scanner access on Linux\" (add yourself to the scanner group"},
        DemoCase{"AScannerAskedForByNameThatThisUserMayNotOpen", Setup::ScannerNodeOfRoot, "-d usb scan --single", 15,
                 "/dev/bus/usb/001/004) but this user may not open it"},
        DemoCase{"TheInstallersRuleMakesAMissingScannerAnError", Setup::InstallerRule, kScan, 3,
                 "no scanner is attached: connect the scanner"},
        DemoCase{"AHardwareDatabaseEntryMakesAMissingScannerAnError", Setup::HardwareDatabaseEntry, kScan, 3,
                 "no scanner is attached: connect the scanner"},
        DemoCase{"AUserWhoScannedWithARealScannerGetsAnError", Setup::UserUsedARealScanner, kScan, 3,
                 "no scanner is attached: connect the scanner"},
        DemoCase{"TheDemoAskedForByNameIsScannedOnAMachineThatHadAScanner", Setup::InstallerRule,
                 "-d demo scan --single --page narrow", 0, "using the demonstration scanner"}),
    ordavel::test::ReadableName{});

}  // namespace
