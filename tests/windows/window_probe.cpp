// mirt-window-probe: the wine tests' eyes on a windowed program and their watchdog.
//   mirt-window-probe watch TITLE CONTROL TIMEOUT_MS
//     Closes message boxes (printing "box: caption: text") while it waits for the window titled
//     TITLE, then reads control CONTROL's text until the window closes, and prints the last text
//     read after a line "--- text ---". Before that it prints the control's style and which of
//     the window's buttons 1, 2 and 1002 are visible, as last seen. Its first line, "watching",
//     says the watch has begun. Exit 0 when the window came and went, 2
//     when it never came, 3 when it did not close in time.
//   mirt-window-probe exists TITLE
//     Exit 0 when a top-level window titled TITLE exists, 1 when none does.
//   mirt-window-probe boxes TIMEOUT_MS
//     Only the watchdog: closes message boxes until the time is up, printing each.
#include <array>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>

#include "platform/process.h"
#include "platform/win32/window_probe.h"

namespace probe = ordavel::platform::win32;

namespace {

constexpr uint32_t kPollMs = 5;

void CloseBoxes() {
    for (const auto& box : probe::CloseMessageBoxes()) std::printf("box: %s\n", box.c_str());
    std::fflush(stdout);
}

// What the watch reports of the window's controls: the watched control's style and the
// visibility of buttons 1, 2 and 1002, each as its line when last seen. A control that is missing
// in one look (not made yet, or already gone while the window is torn down) keeps its last line.
class ControlLines {
public:
    explicit ControlLines(int control) : control_(control) {}

    void look(probe::ProbedWindow window) {
        if (const auto style = probe::ControlStyle(window, control_)) {
            std::string line = "control " + std::to_string(control_) + ":";
            if (*style & probe::StyleBits::multiLine) line += " multiline";
            if (*style & probe::StyleBits::readOnly) line += " readonly";
            if (*style & probe::StyleBits::autoVScroll) line += " autovscroll";
            if (*style & probe::StyleBits::vScroll) line += " vscroll";
            lines_[0] = line + "\n";
        }
        for (std::size_t i = 0; i < kButtons.size(); ++i) {
            if (const auto style = probe::ControlStyle(window, kButtons[i])) {
                lines_[i + 1] = "button " + std::to_string(kButtons[i]) + ": " +
                                ((*style & probe::StyleBits::visible) ? "visible" : "hidden") + "\n";
            }
        }
    }

    std::string text() const {
        std::string all;
        for (const auto& line : lines_) all += line;
        return all;
    }

private:
    static constexpr std::array<int, 3> kButtons{1, 2, 1002};
    int control_;
    std::array<std::string, kButtons.size() + 1> lines_;
};

int Watch(const std::string& title, int control, uint32_t timeoutMs) {
    probe::ProbedWindow window = 0;
    ControlLines described(control);
    std::optional<std::string> last;
    const auto report = [&] { std::printf("%s--- text ---\n%s", described.text().c_str(), last.value_or("").c_str()); };
    // Said first, so a test starts the program it watches only once the watch runs.
    std::printf("watching\n");
    std::fflush(stdout);
    for (uint32_t waited = 0; waited < timeoutMs; waited += kPollMs) {
        CloseBoxes();
        if (window == 0) window = probe::FindTopWindow(title);
        if (window != 0) {
            if (!probe::WindowAlive(window)) {
                report();
                return 0;
            }
            // Looked at again each time: the window can be found while it still makes its controls.
            described.look(window);
            // A window being torn down can answer with an empty text; the texts watched here only
            // ever grow, so an empty answer never replaces a text read before.
            if (auto text = probe::ControlText(window, control); text && (!text->empty() || !last)) {
                last = std::move(text);
            }
        }
        probe::SleepMs(kPollMs);
    }
    report();
    return window == 0 ? 2 : 3;
}

int Boxes(uint32_t timeoutMs) {
    for (uint32_t waited = 0; waited < timeoutMs; waited += 50) {
        CloseBoxes();
        probe::SleepMs(50);
    }
    return 0;
}

}  // namespace

int main() {
    ordavel::platform::UseBinaryStandardOutput();
    const auto args = probe::Utf8Arguments();
    const auto number = [&](std::size_t i) { return static_cast<uint32_t>(std::strtoul(args[i].c_str(), nullptr, 10)); };
    if (args.size() == 4 && args[0] == "watch") return Watch(args[1], std::atoi(args[2].c_str()), number(3));
    if (args.size() == 2 && args[0] == "boxes") return Boxes(number(1));
    if (args.size() == 2 && args[0] == "exists") return probe::FindTopWindow(args[1]) != 0 ? 0 : 1;
    std::fprintf(stderr, "usage: mirt-window-probe watch TITLE CONTROL TIMEOUT_MS | exists TITLE | boxes TIMEOUT_MS\n");
    return 64;
}
