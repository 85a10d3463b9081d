// Where the first sheet waits, read from the paper sensors of the virtual scanner as it comes up.
#include "tools/common/first_sheet.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "platform/profile.h"
#include "tests/support/test_paths.h"

namespace mirt {
namespace {

namespace fs = std::filesystem;

struct PlaceCase {
    const char* name;
    const char* firstSheet;  // [Feeder] First_Sheet
    int sheets;
    bool sensor1;
    bool sensor2;
    FirstSheetPlace place;
};

class FirstSheet : public ::testing::TestWithParam<PlaceCase> {};

TEST_P(FirstSheet, IsFoundWhereTheSensorsSeeIt) {
    const fs::path dir = ordavel::test::MakeScratchDir("first-sheet");
    const std::string config = (dir / "scanner.ini").string();
    fs::copy_file(ordavel::test::DataDir() + "/virtual/reference.ini", config);
    using ordavel::platform::WriteProfileString;
    WriteProfileString(config, "Feeder", "First_Sheet", GetParam().firstSheet);
    WriteProfileString(config, "Feeder", "Sheets", std::to_string(GetParam().sheets));
    std::string error;
    const auto sensors = VirtualScannerSensorsAtStart(config, error);
    ASSERT_TRUE(sensors) << error;
    EXPECT_EQ(sensors->atSensor1, GetParam().sensor1);
    EXPECT_EQ(sensors->atSensor2, GetParam().sensor2);
    EXPECT_EQ(PlaceFromSensors(*sensors), GetParam().place);
    EXPECT_EQ(FirstSheetPlaceOf(config), GetParam().place);
    std::error_code ec;
    fs::remove_all(dir, ec);
}

INSTANTIATE_TEST_SUITE_P(
    Feeders, FirstSheet,
    ::testing::Values(PlaceCase{"PushedIntoTheRollers", "Ready", 2, true, true, FirstSheetPlace::Rollers},
                      PlaceCase{"LaidAtTheEntrance", "Entrance", 2, false, true, FirstSheetPlace::Entrance},
                      PlaceCase{"EmptyFeeder", "Entrance", 0, false, false, FirstSheetPlace::None}),
    [](const auto& param) { return std::string(param.param.name); });

TEST(FirstSheet, AnAttachedScannerIsTakenAsTheClientTakesIt) {
    EXPECT_EQ(FirstSheetPlaceOf(""), FirstSheetPlace::Rollers);
    std::string error;
    EXPECT_FALSE(VirtualScannerSensorsAtStart("/no/such/scanner.ini", error));
    EXPECT_FALSE(error.empty());
}

}  // namespace
}  // namespace mirt
