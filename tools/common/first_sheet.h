// Where the first sheet of a batch waits, and bringing it to the scan position in the calling
// order that keeps its top edge.
//
// A sheet the user pushed into the rollers is already where a feed and the positioning move
// leave one; a sheet laid at the entrance with the stack has to be fed first. The feed must not
// run between ScanStart and the first ScanRead: its positioning move leaves its own step count in
// the scan's skip registers, and the page would lose its top 0.73 inch. So the sheet is fed
// inside a connection of its own (ScanStart, ScanFeedPaper, ScanStop), and the scan starts
// afresh, with the register image of the sheet's own request, once the sheet is in place.
#pragma once

#include <optional>
#include <string>

#include "tools/common/driver_binding.h"

namespace mirt {

// Paper sensor 2 sits at the entrance, paper sensor 1 between it and the scan line.
struct PaperSensors {
    bool atSensor1 = false;
    bool atSensor2 = false;
};

enum class FirstSheetPlace {
    Rollers,   // at sensor 1: in the rollers, at the scan position (no feed)
    Entrance,  // at sensor 2 alone: waiting at the entrance (feed before scanning)
    None,      // at neither sensor
};

FirstSheetPlace PlaceFromSensors(const PaperSensors& sensors);

// What the paper sensors of a freshly started virtual scanner read: the sheets its configuration
// puts at the ready position or at the entrance. Empty, with `error`, when the configuration
// cannot be loaded.
std::optional<PaperSensors> VirtualScannerSensorsAtStart(const std::string& configPath, std::string& error);

// Where the first sheet of the chosen scanner waits. A virtual scanner's sensors tell. For an
// attached scanner the exports cannot, without risking the sheet, so it is taken as the
// scan-to-file client takes it: its first sheet in the rollers. Why nothing better is sound:
//  - ScanPaperEmpty reads both paper sensors as one ("a sheet at either"), before and after any
//    feed, and its status text is the same for both places.
//  - ScanFeedPaper cannot be used to probe: its short feed, finding a sheet already at sensor 1,
//    still makes the positioning move, carrying a sheet that was in place 0.73 inch past the
//    scan position (its top is never scanned); the full feed runs the motor at once. No export
//    moves paper back.
//  - The first page's data cannot tell either: a sheet scanned from the entrance begins with the
//    backing until its leading edge reaches the scan line, but the backing reads as grey as a
//    ticket's stock, so a dark page would be taken for an empty top; and by the time enough rows
//    have arrived to judge, the sheet has moved on.
// A sheet at the entrance of an attached scanner is therefore scanned from where it lies (the
// backing above its top, its tail cut where the window ends); pushed into the rollers first,
// it is scanned whole.
FirstSheetPlace FirstSheetPlaceOf(const std::string& virtualConfig);

enum class FirstSheetStart {
    Started,  // the scan runs: ScanRead next
    NoSheet,  // the feeder is empty; the connection is closed
    Failed,   // a driver call failed; the connection is closed
};

struct FirstSheetOutcome {
    FirstSheetStart start = FirstSheetStart::Failed;
    std::string statusText;  // the driver's text of the failure, taken before the connection closed
};

// Starts the scan of the first sheet of a batch with the request already set: checks for paper,
// feeds a sheet waiting at the entrance in a connection of its own, and starts the scan with a
// fresh register image.
FirstSheetOutcome StartFirstSheet(DriverBinding& driver, FirstSheetPlace place);

}  // namespace mirt
