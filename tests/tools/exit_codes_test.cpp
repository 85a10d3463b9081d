// mirt's exit codes follow the driver's status texts.
#include "tools/mirt/exit_codes.h"

#include <gtest/gtest.h>

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

}  // namespace
}  // namespace mirt
