// The scanners' hardware-database entries, compiled and queried by the system's own systemd-hwdb
// in a scratch root: the scanner's modalias is marked for SANE's access rules, its sibling
// devices and other vendors' devices are not; the shipped file holds the scanner's entry.
#include <gtest/gtest.h>

#include <filesystem>
#include <ostream>
#include <string>

#include "platform/device_list.h"
#include "platform/usb_hwdb.h"
#include "tests/support/command_output.h"
#include "tests/support/scratch_files.h"
#include "tests/support/test_paths.h"

namespace ordavel::platform {
namespace {

TEST(UsbHwdb, TheShippedFileHoldsTheScannersEntry) {
    const std::string shipped = test::ReadWholeFile(test::DataDir() + "/udev/60-mirt.hwdb");
    EXPECT_NE(shipped.find("\n\n" + ScannerHwdbEntries({&kScannerUsbId, 1})), std::string::npos) << shipped;
    EXPECT_EQ(ScannerHwdbEntries({&kScannerUsbId, 1}), "usb:vF1D7p5C01*\n libsane_matched=yes\n\n");
}

struct QueryCase {
    const char* name;
    const char* modalias;  // as the kernel publishes it for the device
    bool scanner;
};

void PrintTo(const QueryCase& c, std::ostream* os) { *os << c.name; }

class UsbHwdbQuery : public ::testing::TestWithParam<QueryCase> {};

TEST_P(UsbHwdbQuery, MarksOnlyTheScanner) {
    const test::ScratchDir root("hwdb");
    std::filesystem::create_directories(root.file("etc/udev/hwdb.d"));
    std::filesystem::copy_file(test::DataDir() + "/udev/60-mirt.hwdb", root.file("etc/udev/hwdb.d/60-mirt.hwdb"));
    const auto update = test::RunShellCommand("systemd-hwdb --strict --root='" + root.path() + "' update");
    ASSERT_EQ(update.exitCode, 0) << update.output;
    const auto query =
        test::RunShellCommand("systemd-hwdb --root='" + root.path() + "' query '" + GetParam().modalias + "'");
    EXPECT_EQ(query.output, GetParam().scanner ? "libsane_matched=yes\n" : "");
}

INSTANTIATE_TEST_SUITE_P(
    Modaliases, UsbHwdbQuery,
    ::testing::Values(QueryCase{"TheScanner", "usb:vF1D7p5C01d0100dcFFdscFFdpFFicFFiscFFipFFin00", true},
                      QueryCase{"ABulkDeviceOfOurs", "usb:vF1D7p0B01d0100dc00dsc00dp00icFFiscFFipFFin00", false},
                      QueryCase{"AnotherVendorsProduct", "usb:v1234p5C01d0100dc00dsc00dp00ic07isc01ip02in00", false}),
    [](const auto& row) { return std::string(row.param.name); });

}  // namespace
}  // namespace ordavel::platform
