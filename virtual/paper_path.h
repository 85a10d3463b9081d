// The physical paper path: sheets with a size, the tray, the entrance with paper sensor 2, paper
// sensor 1, the scan line and the exit, all positioned in motor full steps from the entrance.
// Sheets move only when the rollers turn (one call of step() per full step).
#pragma once

#include <memory>
#include <optional>
#include <vector>

#include "virtual/page.h"
#include "virtual/scanner_config.h"

namespace ordavel::virtual_scanner {

enum class SheetState { InTray, InPath, Ejected, Removed };

struct Sheet {
    int number = 0;  // 1-based, in feeding order
    std::shared_ptr<const Page> page;
    double lengthSteps = 0;
    double lead = 0;  // position of the leading edge (at the sheet's centre line)
    SheetState state = SheetState::InTray;
    bool jammed = false;
    double skewRadians = 0;
    double offsetInches = 0;
    std::optional<double> jamAt;         // the sheet stops once its leading edge gets here
    std::optional<double> pickedBehind;  // picked together with the sheet before, this far behind it
    double tail() const { return lead - lengthSteps; }
};

class PaperPath {
public:
    PaperPath(const PathConfig& config, std::vector<Sheet> sheets, FirstSheetPlacement first);

    // One full step of the rollers, forward (+1) or backward (-1).
    void step(int direction);

    // Whether some sheet in the path lies over `position` (tail < position <= lead).
    bool covered(double position) const;
    bool atSensor1() const { return covered(config_.paperSensor1); }
    bool atSensor2() const { return covered(config_.paperSensor2); }
    // The tray input: no sheet left in the tray and none still reaching back into it.
    bool trayEmpty() const;

    void removeTraySheets();
    const std::vector<Sheet>& sheets() const { return sheets_; }
    Sheet* sheet(int number);
    const PathConfig& config() const { return config_; }

private:
    void feedFromTray();
    void place(Sheet& sheet, double lead);

    PathConfig config_;
    std::vector<Sheet> sheets_;
};

}  // namespace ordavel::virtual_scanner
