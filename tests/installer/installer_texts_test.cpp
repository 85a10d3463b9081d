// The error report's three forms and the operation number read from the command line.
#include <gtest/gtest.h>

#include "installer/error_report.h"
#include "installer/installer_program.h"
#include "installer/operations.h"

namespace installer {
namespace {

struct ReportCase {
    const char* name;
    uint32_t code;
    std::optional<std::string> systemText;
    const char* report;
};

class ErrorReport : public ::testing::TestWithParam<ReportCase> {};

TEST_P(ErrorReport, ReadsAsTheSystemWouldShowIt) {
    EXPECT_EQ(FormatErrorReport(GetParam().code, "UpdateDriverForPlugAndPlayDevices", GetParam().systemText),
              GetParam().report);
}

INSTANTIATE_TEST_SUITE_P(
    Forms, ErrorReport,
    ::testing::Values(
        ReportCase{"SystemText", 2, "No such file or directory",
                   "Error 2 in UpdateDriverForPlugAndPlayDevices: No such file or directory\n"},
        ReportCase{"SystemTextNegative", 0x80070005, "Denied", "Error -2147024891 in UpdateDriverForPlugAndPlayDevices: Denied\n"},
        ReportCase{"SetupName", 0xE000020B, std::nullopt,
                   "Error E000020B in UpdateDriverForPlugAndPlayDevices: ERROR_NO_SUCH_DEVINST\n"},
        ReportCase{"FirstTableEntry", 0xE0000000, std::nullopt,
                   "Error E0000000 in UpdateDriverForPlugAndPlayDevices: ERROR_EXPECTED_SECTION_NAME\n"},
        ReportCase{"NewNameBeforeAlias", 0xE000021B, std::nullopt,
                   "Error E000021B in UpdateDriverForPlugAndPlayDevices: ERROR_DEVICE_INTERFACE_ACTIVE\n"},
        ReportCase{"AliasedInterface", 0xE0000225, std::nullopt,
                   "Error E0000225 in UpdateDriverForPlugAndPlayDevices: ERROR_NO_SUCH_DEVICE_INTERFACE\n"},
        ReportCase{"LastEntry", 0xE0001000, std::nullopt,
                   "Error E0001000 in UpdateDriverForPlugAndPlayDevices: ERROR_NOT_INSTALLED\n"},
        ReportCase{"PastTheRange", 0xE000022D, std::nullopt, "Error E000022D in UpdateDriverForPlugAndPlayDevices\n"},
        ReportCase{"NoBackupIsUnnamed", 0xE0000103, std::nullopt,
                   "Error E0000103 in UpdateDriverForPlugAndPlayDevices\n"},
        ReportCase{"PlainCode", 1, std::nullopt, "Error 00000001 in UpdateDriverForPlugAndPlayDevices\n"}),
    [](const auto& param) { return param.param.name; });

struct NumberCase {
    const char* name;
    std::vector<std::string> arguments;
    int number;
};

class OperationNumber : public ::testing::TestWithParam<NumberCase> {};

TEST_P(OperationNumber, ComesFromTheFirstPlainArgument) {
    EXPECT_EQ(ParseOperationNumber(OperationArgument(GetParam().arguments)), GetParam().number);
}

INSTANTIATE_TEST_SUITE_P(
    Arguments, OperationNumber,
    ::testing::Values(NumberCase{"None", {}, 0}, NumberCase{"Plain", {"22"}, 22},
                      NumberCase{"DigitsThenLetters", {"5abc"}, 5}, NumberCase{"Letters", {"abc"}, 0},
                      NumberCase{"BlanksAndPlus", {"  +8"}, 8}, NumberCase{"BlankMinus", {" -5"}, -5},
                      NumberCase{"OptionsSkipped", {"-v", "/q", "11"}, 11}, NumberCase{"SecondPlainIgnored", {"1", "2"}, 1},
                      NumberCase{"Huge", {"99999999999999999999"}, 2147483647},
                      NumberCase{"HugeNegative", {" -99999999999999999999"}, -2147483647 - 1}),
    [](const auto& param) { return param.param.name; });

}  // namespace
}  // namespace installer
