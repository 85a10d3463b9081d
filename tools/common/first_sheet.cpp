// The first sheet's place and its feed.
#include "tools/common/first_sheet.h"

#include <memory>

#include "platform/clock.h"
#include "virtual/scanner_config.h"
#include "virtual/virtual_scanner.h"

namespace mirt {

FirstSheetPlace PlaceFromSensors(const PaperSensors& sensors) {
    if (sensors.atSensor1) return FirstSheetPlace::Rollers;
    if (sensors.atSensor2) return FirstSheetPlace::Entrance;
    return FirstSheetPlace::None;
}

std::optional<PaperSensors> VirtualScannerSensorsAtStart(const std::string& configPath, std::string& error) {
    namespace vs = ordavel::virtual_scanner;
    vs::ScannerConfig config;
    if (!vs::LoadScannerConfig(configPath, config, error)) return std::nullopt;
    // The device as it comes up: nothing has run on its clock yet.
    auto scanner = vs::VirtualScanner::Create(config, std::make_shared<ordavel::platform::VirtualClock>(), error);
    if (!scanner) return std::nullopt;
    PaperSensors sensors;
    for (const vs::Sheet& sheet : scanner->sheets()) {
        if (sheet.state != vs::SheetState::InPath) continue;
        auto covers = [&](double position) { return sheet.tail() < position && position <= sheet.lead; };
        sensors.atSensor1 = sensors.atSensor1 || covers(config.path.paperSensor1);
        sensors.atSensor2 = sensors.atSensor2 || covers(config.path.paperSensor2);
    }
    return sensors;
}

FirstSheetPlace FirstSheetPlaceOf(const std::string& virtualConfig) {
    if (virtualConfig.empty()) return FirstSheetPlace::Rollers;
    std::string error;
    const auto sensors = VirtualScannerSensorsAtStart(virtualConfig, error);
    // A configuration the model cannot load fails in the driver with its own message; until
    // then the sheet is taken to be where the client expects it.
    if (!sensors) return FirstSheetPlace::Rollers;
    return PlaceFromSensors(*sensors);
}

namespace {

FirstSheetOutcome Failure(DriverBinding& driver, bool stop) {
    FirstSheetOutcome outcome{FirstSheetStart::Failed, driver.statusText()};
    if (stop) driver.ScanStop();
    return outcome;
}

}  // namespace

FirstSheetOutcome StartFirstSheet(DriverBinding& driver, FirstSheetPlace place) {
    if (driver.ScanStart() != 0) return Failure(driver, false);
    int32_t empty = 1;
    if (driver.ScanPaperEmpty(&empty) != 0) return Failure(driver, true);
    if (empty != 0) {
        driver.ScanStop();
        return {FirstSheetStart::NoSheet, {}};
    }
    if (place != FirstSheetPlace::Entrance) return {FirstSheetStart::Started, {}};
    // The feed in a connection of its own, then the scan afresh: ScanStart writes the whole
    // register image again, the request's skip steps included.
    if (driver.ScanFeedPaper() != 0) return Failure(driver, true);
    driver.ScanStop();
    if (driver.ScanStart() != 0) return Failure(driver, false);
    return {FirstSheetStart::Started, {}};
}

}  // namespace mirt
