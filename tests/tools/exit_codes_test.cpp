// mirt's exit codes follow the driver's status texts.
#include "tools/mirt/exit_codes.h"

#include <gtest/gtest.h>

#include "tests/support/scratch_files.h"

namespace mirt {
namespace {

struct StatusCase {
    const char* status;
    int code;
};

class ExitCodes : public ::testing::TestWithParam<StatusCase> {};

TEST_P(ExitCodes, FollowTheStatusText) { EXPECT_EQ(ExitCodeForStatus(GetParam().status), GetParam().code); }

INSTANTIATE_TEST_SUITE_P(
    Texts, ExitCodes,
    ::testing::Values(StatusCase{"塞纸", kExitPaperJam}, StatusCase{"上盖打开", kExitCoverOpen},
                      StatusCase{"通信失败", kExitCommunication},
                      StatusCase{"未发现 Mirt Sheet Scanner 设备", kExitNoScanner},
                      StatusCase{"打开扫描文件错误!", kExitNotCalibrated},
                      StatusCase{"扫描宽度超界", kExitDriverFailure},
                      StatusCase{"Write Register failed! 07=03", kExitDriverFailure},
                      StatusCase{"", kExitDriverFailure}, StatusCase{nullptr, kExitDriverFailure}));

TEST(ExitCodes, AStoredCalibrationThatCannotBeReadIsToldMissingOrDamagedByLookingAtIt) {
    ordavel::test::ScratchDir dir("exitcodes");
    EXPECT_EQ(ExitCodeForStatus("读扫描文件错误", dir.path()), kExitNotCalibrated);
    dir.write("cr.dat", "");  // what a recalibration killed halfway used to leave
    dir.write("BlackFINE.PXL", "v2\n");
    EXPECT_EQ(ExitCodeForStatus("读扫描文件错误", dir.path()), kExitCalibrationDamaged);
    EXPECT_EQ(ExitCodeForStatus("打开扫描文件错误!", dir.path()), kExitCalibrationDamaged);
    EXPECT_EQ(ExitCodeForStatus("塞纸", dir.path()), kExitPaperJam);
}

}  // namespace
}  // namespace mirt
