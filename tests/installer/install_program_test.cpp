// Runs the built install program in a scratch tree: what each operation logs and reports, and
// what it leaves in the INF store, the device store and the udev rule.
#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "installer/log_lines.h"
#include "tests/installer/installer_tree.h"
#include "tests/support/scratch_files.h"

namespace installer::test {
namespace {

namespace ll = log_lines;

struct LogCase {
    const char* name;
    const char* arguments;
    std::vector<std::string> lines;  // "{inf}" stands for the stored INF's path
};

class InstallerLog : public ::testing::TestWithParam<LogCase> {};

TEST_P(InstallerLog, ShowsTheOperationsLines) {
    InstallerTree tree;
    const auto run = tree.run(GetParam().arguments);
    std::vector<std::string> expected = GetParam().lines;
    for (auto& line : expected) {
        if (line == "{inf}") line = tree.windows("inf/oem0.inf");
    }
    EXPECT_EQ(run.log, LogOf(expected));
    EXPECT_EQ(run.errors, "");
    EXPECT_EQ(run.exitCode, 0);
}

INSTANTIATE_TEST_SUITE_P(
    Operations, InstallerLog,
    ::testing::Values(LogCase{"NoArgument", "", {}}, LogCase{"UnlistedNumber", "7", {}},
                      LogCase{"OptionsOnly", "-q /x", {}},
                      LogCase{"SerialPortPreinstall", "1", {ll::kInstallStart, ll::kNoDeviceSerial, "{inf}"}},
                      LogCase{"BulkPreinstall", "2", {ll::kInstallStart, ll::kNoDeviceBulk, "{inf}"}},
                      LogCase{"FiveWithLetters", "5abc", {ll::kInstallStart, ll::kNoDeviceScanner, "{inf}"}},
                      LogCase{"BlankAndSign", "' +5'", {ll::kInstallStart, ll::kNoDeviceScanner, "{inf}"}},
                      LogCase{"RootDevice", "8", {ll::kProgressDots, ll::kProgressDots, ll::kRootInstallDone}},
                      LogCase{"RemoveSerialPort", "11", {ll::kRemovalStart, ll::kRemovalDone}},
                      LogCase{"RemoveBulk", "22", {ll::kRemovalStart, ll::kRemovalDone}},
                      LogCase{"RemoveScanner", "55", {ll::kRemovalStart, ll::kRemovalDone}},
                      LogCase{"RemoveRootSerialPort", "88", {ll::kRemovalStart, ll::kRemovalDone}}),
    [](const auto& param) { return param.param.name; });

TEST(InstallerProgram, PreinstallStagesTheInfOnceAndGrantsAccessForItsDevices) {
    InstallerTree tree;
    EXPECT_EQ(tree.run("2").exitCode, 0);
    const auto again = tree.run("2");
    // The identical INF already stored is named again, not copied a second time.
    EXPECT_EQ(again.log, LogOf({ll::kInstallStart, ll::kNoDeviceBulk, tree.windows("inf/oem0.inf")}));
    EXPECT_EQ(again.exitCode, 0);
    EXPECT_EQ(tree.files("win/inf"), (std::vector<std::string>{"oem0.PNF", "oem0.inf"}));
    EXPECT_EQ(ordavel::test::ReadWholeFile(tree.windows("inf/oem0.inf")),
              ordavel::test::ReadWholeFile(tree.bin("BULKUSB.INF")));
    EXPECT_NE(ordavel::test::ReadWholeFile(tree.windows("inf/oem0.PNF")).find("Location=" + tree.bin().substr(0, tree.bin().size() - 1)),
              std::string::npos);
    const std::string rule = tree.ruleFile();
    for (const char* product : {"0b01", "0b02", "0b03", "0b04", "0b05"}) {
        EXPECT_NE(rule.find("ATTR{idVendor}==\"f1d7\", ATTR{idProduct}==\"" + std::string(product) +
                            "\", TAG+=\"uaccess\""),
                  std::string::npos)
            << product;
    }
    EXPECT_TRUE(tree.files("win/devices").empty());
}

TEST(InstallerProgram, ScannerPresentGetsItsDriverAndAccessUntilRemoved) {
    InstallerTree tree;
    tree.plugUsb("1-2", "f1d7", "5c01");
    tree.plugUsb("1-3", "f1d7", "0b03");  // another device of ours, not the scanner
    const auto run = tree.run("5");
    EXPECT_EQ(run.log, LogOf({ll::kInstallStart, ll::kDeviceFound}));
    EXPECT_EQ(tree.files("win/devices"), std::vector<std::string>{"USB#VID_F1D7&PID_5C01#1-2.device"});
    const std::string record = ordavel::test::ReadWholeFile(tree.windows("devices/USB#VID_F1D7&PID_5C01#1-2.device"));
    EXPECT_NE(record.find("DeviceDesc=Mirt 票据/文档扫描仪\n"), std::string::npos);
    EXPECT_NE(record.find("Class=Image\n"), std::string::npos);
    EXPECT_NE(tree.ruleFile().find("ATTR{idProduct}==\"5c01\""), std::string::npos);
    EXPECT_EQ(tree.ruleFile().find("0b03"), std::string::npos);
    // The scanner, and only it, is marked as one for SANE's access rules.
    EXPECT_NE(tree.hwdbFile().find("\nusb:vF1D7p5C01*\n libsane_matched=yes\n"), std::string::npos) << tree.hwdbFile();
    EXPECT_EQ(tree.hwdbFile().find("0B03"), std::string::npos);

    EXPECT_EQ(tree.run("55").exitCode, 0);
    EXPECT_TRUE(tree.files("win/devices").empty());
    EXPECT_TRUE(tree.files("win/inf").empty());
    EXPECT_EQ(tree.ruleFile(), "");
    EXPECT_TRUE(tree.files("hwdb").empty());
}

TEST(InstallerProgram, RootDeviceIsCreatedOnceAndRemovedByItsRemoval) {
    InstallerTree tree;
    ASSERT_EQ(tree.run("8").exitCode, 0);
    EXPECT_EQ(tree.files("win/devices"), std::vector<std::string>{"ROOT#PORTS#0000.device"});
    const std::string record = ordavel::test::ReadWholeFile(tree.windows("devices/ROOT#PORTS#0000.device"));
    EXPECT_NE(record.find("HardwareID=QUVE\\ZEVVCOM\n"), std::string::npos);
    EXPECT_NE(record.find("DeviceDesc=QUVE VCOM virtual serial port\n"), std::string::npos);
    // Removal of the USB serial port looks for another description and leaves it.
    tree.run("11");
    EXPECT_EQ(tree.files("win/devices").size(), 1u);
    EXPECT_EQ(tree.run("88").log, LogOf({ll::kRemovalStart, ll::kRemovalDone}));
    EXPECT_TRUE(tree.files("win/devices").empty());
    EXPECT_TRUE(tree.files("win/inf").empty());
}

// The root-enumerated device's INF spoiled in different ways: each run reports the failing step,
// logs the failure line and leaves no device and no stored INF behind.
struct BrokenInfCase {
    const char* name;
    std::string content;  // empty name: the file is missing
    std::string report;
};

std::string Padded(std::string head, std::size_t bytes, char fill) { return head + std::string(bytes, fill); }

const std::string kVersion = "[Version]\r\nSignature=\"$Windows NT$\"\r\nClass=Ports\r\n"
                             "ClassGUID={4D36E978-E325-11CE-BFC1-08002BE10318}\r\n";

class BrokenRootInf : public ::testing::TestWithParam<BrokenInfCase> {};

TEST_P(BrokenRootInf, ReportsTheStepAndLeavesNothing) {
    InstallerTree tree;
    std::filesystem::remove(tree.bin("ZEVVCOM.INF"));
    if (std::string(GetParam().name) != "Missing") tree.write("bin/ZEVVCOM.INF", GetParam().content);
    const auto run = tree.run("8");
    EXPECT_EQ(run.errors, "Error: " + GetParam().report + "\n");
    EXPECT_NE(run.log.find(LogOf({ll::kRootInstallFailed})), std::string::npos);
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_TRUE(tree.files("win/devices").empty());
    EXPECT_TRUE(tree.files("win/inf").empty());
}

INSTANTIATE_TEST_SUITE_P(
    Files, BrokenRootInf,
    ::testing::Values(
        BrokenInfCase{"Missing", "", "Error 2 in SetupOpenInfFile: No such file or directory"},
        BrokenInfCase{"Empty", "", "Error E0000100 in SetupOpenInfFile: ERROR_WRONG_INF_STYLE"},
        BrokenInfCase{"Binary", std::string("\x7f" "ELF\x02\x01\x01\0\0\0[\x90\xff", 13) + Padded("", 3000, '\xfe'),
                      "Error E0000000 in SetupOpenInfFile: ERROR_EXPECTED_SECTION_NAME"},
        BrokenInfCase{"Truncated", kVersion + "[Manufac", "Error E0000001 in SetupOpenInfFile: ERROR_BAD_SECTION_NAME_LINE"},
        BrokenInfCase{"NoManufacturer", kVersion + "[Strings]\r\nMfg=\"QUVE\"\r\n",
                      "Error E0000101 in search for specified device: ERROR_SECTION_NOT_FOUND"},
        BrokenInfCase{"EmptyModels", kVersion + "[Manufacturer]\r\n%Mfg%=Models\r\n[Models]\r\n",
                      "Error E0000102 in search for specified device: ERROR_LINE_NOT_FOUND"},
        BrokenInfCase{"ModelWithoutIdentifier", kVersion + "[Manufacturer]\r\nQ=Models\r\n[Models]\r\nPort=Sect\r\n",
                      "Error E000020B in UpdateDriverForPlugAndPlayDevices: ERROR_NO_SUCH_DEVINST"},
        BrokenInfCase{"UnknownClass",
                      "[Version]\nSignature=$Chicago$\nClass=Gadgets\n[Manufacturer]\nQ=M\n[M]\nD=S,ID\\X\n",
                      "Error E0000206 in SetupOpenInfFile: ERROR_INVALID_CLASS"},
        BrokenInfCase{"EndlessLine", kVersion + "[Manufacturer]\r\n" + Padded("Q", 1 << 20, 'x'),
                      "Error E0000102 in search for specified device: ERROR_LINE_NOT_FOUND"},
        BrokenInfCase{"UnbalancedQuotes",
                      kVersion + "[Manufacturer]\r\n\"Q=Models\r\n[Models]\r\nD=S,QUVE\\ZEVVCOM\r\n",
                      "Error E0000102 in search for specified device: ERROR_LINE_NOT_FOUND"}),
    [](const auto& param) { return param.param.name; });

TEST(InstallerProgram, BulkRemovalDeletesOnlyInfsOfItsFamily) {
    InstallerTree tree;
    const std::string version = "[Version]\nSignature=\"$Windows NT$\"\nClass=";
    tree.write("win/inf/oem1.inf", version + "USB\n[Strings]\nQUVE=\"Quve\"\n");
    tree.write("win/inf/oem1.PNF", "x");
    tree.write("win/inf/oem2.inf", version + "usb\n[Strings]\nQUVE=\"Quve\"\n");
    tree.write("win/inf/oem3.INF", version + "USB\n[Strings]\nZV=\"Zev\"\n");
    tree.write("win/inf/oem4.inf", version + "USB\n[Strings]\nQUVE=\n");
    tree.write("win/inf/oem5.inf", version + "Ports\n[Strings]\nMfg=\"QUVE\"\n");
    tree.write("win/inf/BULKUSB.INF", version + "Other\n");
    tree.write("win/inf/BULKUSB.PNF", "x");
    tree.write("win/system32/Drivers/BULKUSB.SYS", "driver");
    tree.write("win/system32/Drivers/USBVCOM.SYS", "driver");
    tree.run("22");
    EXPECT_EQ(tree.files("win/inf"), (std::vector<std::string>{"oem2.inf", "oem4.inf", "oem5.inf"}));
    EXPECT_EQ(tree.files("win/system32/Drivers"), std::vector<std::string>{"USBVCOM.SYS"});
}

TEST(InstallerProgram, ScannerRemovalEmptiesItsDataSourceFolderOnly) {
    InstallerTree tree;
    tree.write("win/twain_32/Mirt/libOrdavel.so", "library");
    tree.write("win/twain_32/Mirt/Halvex", "monitor");
    tree.write("win/twain_32/Mirt/sub/kept", "kept");
    tree.write("win/twain_32/Other/theirs", "kept");
    tree.write("win/inf/oem7.inf", "[Version]\nSignature=$Chicago$\nClass=Image\n[Strings]\nProvider=\"Quorvanel Ltd\"\n");
    tree.run("55");
    EXPECT_EQ(tree.files("win/twain_32/Mirt"), std::vector<std::string>{"sub"});
    EXPECT_EQ(tree.files("win/twain_32/Other"), std::vector<std::string>{"theirs"});
    EXPECT_TRUE(tree.files("win/inf").empty());
}

// A folder name that is empty or leaves twain_32 would delete other drivers' files: nothing is
// deleted then.
class UnsafeDataSourceFolder : public ::testing::TestWithParam<const char*> {};

TEST_P(UnsafeDataSourceFolder, DeletesNothing) {
    InstallerTree tree;
    tree.write("bin/Mirt_XP.INF", std::string("[Version]\nSignature=$Chicago$\nClass=Image\n[Strings]\nQuorvanelDS=") +
                                      GetParam() + "\n");
    tree.write("win/twain_32/theirs", "kept");
    tree.write("win/system32/config", "kept");
    tree.run("55");
    EXPECT_EQ(tree.files("win/twain_32"), std::vector<std::string>{"theirs"});
    EXPECT_EQ(tree.files("win/system32"), std::vector<std::string>{"config"});
}

INSTANTIATE_TEST_SUITE_P(Names, UnsafeDataSourceFolder, ::testing::Values("", "\"\"", "..", "../system32", "."),
                         [](const auto& param) { return "Case" + std::to_string(param.index); });

TEST(InstallerProgram, OddSysfsEntriesAreSkipped) {
    InstallerTree tree;
    tree.write("sys/bus/usb/devices/usb1/idVendor", "zzzz\n");
    tree.write("sys/bus/usb/devices/usb1/idProduct", "0b01\n");
    tree.write("sys/bus/usb/devices/1-1:1.0/bInterfaceClass", "ff\n");
    tree.write("sys/bus/usb/devices/1-4/idVendor", std::string(100000, 'f'));
    tree.write("sys/bus/usb/devices/1-4/idProduct", "0b01");
    tree.write("sys/bus/usb/devices/stray-file", "f1d7");
    tree.plugUsb("1-5", "F1D7", "0B02");  // upper case digits still name the device
    const auto run = tree.run("2");
    EXPECT_EQ(run.log, LogOf({ll::kInstallStart, ll::kDeviceFound}));
    EXPECT_EQ(tree.files("win/devices"), std::vector<std::string>{"USB#VID_F1D7&PID_0B02#1-5.device"});
}

// Both programs write what they were asked into one log, so the order shows too.
TEST(InstallerProgram, RulesAndTheHardwareDatabaseAreReloadedOnlyWhenTheyChange) {
    InstallerTree tree;
    for (const char* program : {"udevadm", "systemd-hwdb"}) {
        tree.write(program, std::string("#!/bin/sh\necho ") + program + " \"$@\" >> \"$(dirname \"$0\")/udev.log\"\n");
        std::filesystem::permissions(tree.path(program), std::filesystem::perms::owner_all);
    }
    const std::string environment =
        "MIRT_UDEVADM='" + tree.path("udevadm") + "' MIRT_SYSTEMD_HWDB='" + tree.path("systemd-hwdb") + "'";
    const std::string reload = "udevadm control --reload\nudevadm trigger --action=change --subsystem-match=usb\n";
    tree.run("5", environment);
    tree.run("5", environment);  // the same INF again: rule and database stay as they were
    EXPECT_EQ(ordavel::test::ReadWholeFile(tree.path("udev.log")), "systemd-hwdb update\n" + reload);
    tree.run("2", environment);  // not a scanner's driver: the rule changes, the database does not
    EXPECT_EQ(ordavel::test::ReadWholeFile(tree.path("udev.log")), "systemd-hwdb update\n" + reload + reload);
    tree.run("55", environment);
    EXPECT_EQ(ordavel::test::ReadWholeFile(tree.path("udev.log")),
              "systemd-hwdb update\n" + reload + reload + "systemd-hwdb update\n" + reload);
}

// A store the installer cannot write to: a folder without write permission (for users other
// than root), or a file where the folder should be (for everyone).
struct UnwritableCase {
    const char* name;
    const char* blocked;  // relative to the tree
    bool byPermission;
    const char* arguments;
    std::vector<std::string> log;
    std::string errors;
};

class UnwritableStore : public ::testing::TestWithParam<UnwritableCase> {};

TEST_P(UnwritableStore, FailsTheOperationAndLeavesNothingHalfDone) {
    namespace fs = std::filesystem;
    if (GetParam().byPermission && ::geteuid() == 0) GTEST_SKIP() << "permissions do not bind root";
    InstallerTree tree;
    if (GetParam().byPermission) {
        fs::create_directories(tree.path(GetParam().blocked));
        fs::permissions(tree.path(GetParam().blocked), fs::perms::owner_read | fs::perms::owner_exec);
    } else {
        tree.write(GetParam().blocked, "not a folder");
    }
    const auto run = tree.run(GetParam().arguments);
    if (GetParam().byPermission) fs::permissions(tree.path(GetParam().blocked), fs::perms::owner_all);
    EXPECT_EQ(run.log, LogOf(GetParam().log));
    EXPECT_EQ(run.errors, GetParam().errors);
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(tree.ruleFile(), "");
    EXPECT_TRUE(tree.files("win/devices").empty() || !fs::is_directory(tree.windows("devices")));
}

INSTANTIATE_TEST_SUITE_P(
    Stores, UnwritableStore,
    ::testing::Values(
        UnwritableCase{"InfStoreReadOnly", "win/inf", true, "2", {ll::kInstallStart, ll::kNoDeviceBulk}, ""},
        UnwritableCase{"InfStoreIsAFile", "win/inf", false, "2", {ll::kInstallStart, ll::kNoDeviceBulk}, ""},
        UnwritableCase{"DeviceStoreIsAFile", "win/devices", false, "8",
                       {ll::kProgressDots, ll::kRootInstallFailed},
                       "Error: Error 3 in SetupDiCallClassInstaller(DIF_REGISTERDEVICE): Not a directory\n"},
        UnwritableCase{"InfStoreIsAFileForTheRootDevice", "win/inf", false, "8",
                       {ll::kProgressDots, ll::kRootInstallFailed},
                       "Error: Error 3 in UpdateDriverForPlugAndPlayDevices: Not a directory\n"}),
    [](const auto& param) { return param.param.name; });

}  // namespace
}  // namespace installer::test
