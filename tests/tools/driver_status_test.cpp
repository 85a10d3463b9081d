// Every driver text reaches the user in English with the driver's own text beside it, in the
// class that decides the exit code.
#include "tools/common/driver_status.h"

#include <gtest/gtest.h>

#include "tests/support/scratch_files.h"
#include "tools/mirt/exit_codes.h"

namespace mirt {
namespace {

struct StatusCase {
    const char* name;
    const char* text;
    StatusClass statusClass;
    const char* message;
    int exitCode;
};

class DriverTexts : public ::testing::TestWithParam<StatusCase> {};

TEST_P(DriverTexts, AreClassifiedAndPutIntoEnglish) {
    const DriverStatus status = DescribeDriverStatus(GetParam().text);
    EXPECT_EQ(StatusClassName(status.statusClass), std::string(StatusClassName(GetParam().statusClass)));
    EXPECT_EQ(status.message(), GetParam().message);
    EXPECT_EQ(ExitCodeForStatus(GetParam().text), GetParam().exitCode);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, DriverTexts,
    ::testing::Values(
        StatusCase{"Jam", "塞纸", StatusClass::PaperJam, "paper jam (塞纸)", kExitPaperJam},
        StatusCase{"JamOrCover", "塞纸或上盖打开", StatusClass::PaperJam, "paper jam or cover open (塞纸或上盖打开)",
                   kExitPaperJam},
        StatusCase{"CoverOpen", "上盖打开", StatusClass::CoverOpen, "cover open (上盖打开)", kExitCoverOpen},
        StatusCase{"Communication", "通信失败", StatusClass::Communication,
                   "communication with the scanner failed (通信失败)", kExitCommunication},
        StatusCase{"RegisterWrite", "Write Register failed! 07=03", StatusClass::Communication,
                   "communication with the scanner failed (Write Register failed! 07=03)", kExitCommunication},
        StatusCase{"NoScanner", "未发现 Mirt Sheet Scanner 设备", StatusClass::NoScanner,
                   "scanner \"Mirt Sheet Scanner\" not found (未发现 Mirt Sheet Scanner 设备)", kExitNoScanner},
        StatusCase{"StoredShadingMissing", "打开扫描文件错误!", StatusClass::NotCalibrated,
                   "the scanner is not calibrated (打开扫描文件错误!)", kExitNotCalibrated},
        StatusCase{"StoredShadingUnreadable", "读扫描文件错误", StatusClass::NotCalibrated,
                   "the scanner is not calibrated (读扫描文件错误)", kExitNotCalibrated},
        StatusCase{"OutOfMemory", "内存不足!", StatusClass::OutOfMemory, "out of memory (内存不足!)", kExitOutOfMemory},
        StatusCase{"WidthOutOfRange", "扫描宽度超界", StatusClass::BadRequest,
                   "the scan width is out of range (扫描宽度超界)", kExitBadRequest},
        StatusCase{"WindowOffTheBed", "Scan window outside the bed: 0,0-9999,10 of bed 0,0-1680,2340 at 200 x 200 dpi",
                   StatusClass::BadRequest,
                   "the scan area is not on the bed (Scan window outside the bed: 0,0-9999,10 of bed 0,0-1680,2340 at "
                   "200 x 200 dpi)",
                   kExitBadRequest},
        StatusCase{"FileWrite", "写文件错误: /tmp/x/cr.dat", StatusClass::Other,
                   "cannot write /tmp/x/cr.dat (写文件错误: /tmp/x/cr.dat)", kExitDriverFailure},
        StatusCase{"CalibrationSheet", "无法校正，请更换校正纸!", StatusClass::Other,
                   "calibration failed: replace the calibration sheet (无法校正，请更换校正纸!)", kExitDriverFailure},
        StatusCase{"EnglishDiagnostic", "Scan_Buffer_MBytes must be 1 to 128", StatusClass::Other,
                   "Scan_Buffer_MBytes must be 1 to 128", kExitDriverFailure},
        StatusCase{"UnknownChinese", "未知错误", StatusClass::Other, "the driver reported a failure (未知错误)",
                   kExitDriverFailure},
        StatusCase{"ProgressTextOnAFailure", "扫描完成", StatusClass::Ok, "scan finished (扫描完成)",
                   kExitDriverFailure},
        StatusCase{"NoText", "", StatusClass::Other, "the driver reported a failure", kExitDriverFailure}),
    [](const auto& param) { return std::string(param.param.name); });

TEST(DriverTexts, ACoverOpenAfterScannedSheetsMayBeTheEndOfTheStack) {
    const DriverStatus status = FeederEmptyOrCoverOpen(DescribeDriverStatus("上盖打开"));
    EXPECT_EQ(status.statusClass, StatusClass::CoverOpen);
    EXPECT_EQ(status.message(), "feeder empty or cover open (上盖打开)");
    EXPECT_EQ(FeederEmptyOrCoverOpen(DescribeDriverStatus("塞纸")).message(), "paper jam (塞纸)");
}

TEST(DriverTexts, AStoredCalibrationThatCannotBeReadIsToldMissingOrDamagedByLookingAtIt) {
    ordavel::test::ScratchDir dir("exitcodes");
    EXPECT_EQ(ExitCodeForStatus("读扫描文件错误", dir.path()), kExitNotCalibrated);
    dir.write("cr.dat", "");  // what a recalibration killed halfway used to leave
    dir.write("BlackFINE.PXL", "v2\n");
    EXPECT_EQ(ExitCodeForStatus("读扫描文件错误", dir.path()), kExitCalibrationDamaged);
    EXPECT_EQ(ExitCodeForStatus("打开扫描文件错误!", dir.path()), kExitCalibrationDamaged);
    EXPECT_EQ(RefineWithCalibration(DescribeDriverStatus("读扫描文件错误"), dir.path()).message(),
              "the stored calibration is damaged (读扫描文件错误)");
    EXPECT_EQ(ExitCodeForStatus("塞纸", dir.path()), kExitPaperJam);
}

}  // namespace
}  // namespace mirt
