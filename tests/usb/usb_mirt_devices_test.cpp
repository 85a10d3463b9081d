// `mirt devices`, started under this program's umockdev preload, names the presented scanner with
// its USB identifiers.
#include <gtest/gtest.h>

#include <string>

#include "tests/support/command_output.h"
#include "tests/support/scratch_files.h"
#include "tests/support/test_paths.h"
#include "tests/support/virtual_rig.h"
#include "tests/usb/usb_scanner_device.h"

namespace ordavel::test {
namespace {

TEST(UsbMirtDevices, NamesTheAttachedScannerWithItsIdentifiers) {
    std::string error;
    auto scanner = virtual_scanner::VirtualScanner::Create(ReferenceScannerConfig(),
                                                           std::make_shared<platform::VirtualClock>(), error);
    ASSERT_TRUE(scanner) << error;
    UsbScannerDevice device(scanner, ScannerIdentity(), ModelTime::RealTime);
    ASSERT_TRUE(device.ready());
    const ScratchDir state("usbmirt");
    const CommandOutput run = RunShellCommand("env -u MIRT_VIRTUAL_SCANNER MIRT_STATE_DIR='" + state.path() + "' '" +
                                              BinaryDir() + "/bin/mirt' devices");
    EXPECT_EQ(run.exitCode, 0) << run.output;
    EXPECT_NE(run.output.find("device `usb' is an attached sheet-fed scanner (USB f1d7:5c01)\n"), std::string::npos)
        << run.output;
}

}  // namespace
}  // namespace ordavel::test
