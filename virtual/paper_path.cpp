// Sheet motion, feeding from the tray and ejection.
#include "virtual/paper_path.h"

#include <algorithm>

namespace ordavel::virtual_scanner {

PaperPath::PaperPath(const PathConfig& config, std::vector<Sheet> sheets, FirstSheetPlacement first)
    : config_(config), sheets_(std::move(sheets)) {
    for (Sheet& s : sheets_) s.state = SheetState::InTray;
    if (sheets_.empty()) return;
    // The user either pushed the first sheet into the rollers (where a feed and the positioning
    // move would have left it) or left it on top of the stack at the entrance.
    place(sheets_.front(), first == FirstSheetPlacement::Ready ? config_.readyPosition : config_.paperSensor2);
    feedFromTray();
}

void PaperPath::place(Sheet& sheet, double lead) {
    sheet.lead = lead;
    sheet.state = SheetState::InPath;
    // A sheet stuck to this one comes along, trailing it.
    const auto next = static_cast<std::size_t>(sheet.number);  // index of the following sheet
    if (next < sheets_.size() && sheets_[next].state == SheetState::InTray && sheets_[next].pickedBehind) {
        place(sheets_[next], lead - *sheets_[next].pickedBehind);
    }
}

// Once the last sheet taken has left the entrance, the next one of the stack moves up behind
// it: `sheetGap` steps behind its tail, or resting at the entrance if that is nearer.
void PaperPath::feedFromTray() {
    for (;;) {
        auto next = std::find_if(sheets_.begin(), sheets_.end(), [](const Sheet& s) { return s.state == SheetState::InTray; });
        if (next == sheets_.end()) return;
        const Sheet* last = nullptr;
        for (auto it = sheets_.begin(); it != next; ++it) {
            if (it->state == SheetState::InPath || it->state == SheetState::Ejected) last = &*it;
        }
        const double entrance = config_.paperSensor2;
        if (last == nullptr) {
            place(*next, entrance);
        } else if (last->tail() > entrance) {
            place(*next, std::min(entrance, last->tail() - config_.sheetGap));
        } else {
            return;
        }
    }
}

void PaperPath::step(int direction) {
    bool blocked = false;
    for (Sheet& s : sheets_) {
        if (s.state != SheetState::InPath) continue;
        if (s.jammed) {
            blocked = true;  // everything behind a jammed sheet piles up against it
            continue;
        }
        if (blocked) continue;
        s.lead += direction;
        if (s.jamAt && direction > 0 && s.lead >= *s.jamAt) s.jammed = true;
        if (s.tail() > config_.exit) s.state = SheetState::Ejected;
    }
    if (direction > 0) feedFromTray();
}

bool PaperPath::covered(double position) const {
    return std::any_of(sheets_.begin(), sheets_.end(), [&](const Sheet& s) {
        return s.state == SheetState::InPath && s.tail() < position && position <= s.lead;
    });
}

bool PaperPath::trayEmpty() const {
    return std::none_of(sheets_.begin(), sheets_.end(), [&](const Sheet& s) {
        return s.state == SheetState::InTray || (s.state == SheetState::InPath && s.tail() < config_.paperSensor2);
    });
}

void PaperPath::removeTraySheets() {
    for (Sheet& s : sheets_) {
        if (s.state == SheetState::InTray) s.state = SheetState::Removed;
    }
}

Sheet* PaperPath::sheet(int number) {
    if (number < 1 || static_cast<std::size_t>(number) > sheets_.size()) return nullptr;
    return &sheets_[static_cast<std::size_t>(number - 1)];
}

}  // namespace ordavel::virtual_scanner
