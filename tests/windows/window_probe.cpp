// mirt-window-probe: the wine tests' eyes on a windowed program and their watchdog.
//   mirt-window-probe watch TITLE CONTROL TIMEOUT_MS
//     Closes message boxes (printing "box: caption: text") while it waits for the window titled
//     TITLE, then reads control CONTROL's text until the window closes, and prints the last text
//     read after a line "--- text ---". Before that it prints the control's style and which of
//     the window's buttons 1, 2 and 1002 are visible. Exit 0 when the window came and went, 2
//     when it never came, 3 when it did not close in time.
//   mirt-window-probe exists TITLE
//     Exit 0 when a top-level window titled TITLE exists, 1 when none does.
//   mirt-window-probe boxes TIMEOUT_MS
//     Only the watchdog: closes message boxes until the time is up, printing each.
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>

#include "platform/win32/window_probe.h"

namespace probe = ordavel::platform::win32;

namespace {

constexpr uint32_t kPollMs = 5;

void CloseBoxes() {
    for (const auto& box : probe::CloseMessageBoxes()) std::printf("box: %s\n", box.c_str());
    std::fflush(stdout);
}

void DescribeControls(probe::ProbedWindow window, int control) {
    if (const auto style = probe::ControlStyle(window, control)) {
        std::printf("control %d:%s%s%s%s\n", control, (*style & probe::StyleBits::multiLine) ? " multiline" : "",
                    (*style & probe::StyleBits::readOnly) ? " readonly" : "",
                    (*style & probe::StyleBits::autoVScroll) ? " autovscroll" : "",
                    (*style & probe::StyleBits::vScroll) ? " vscroll" : "");
    }
    for (int button : {1, 2, 1002}) {
        if (const auto style = probe::ControlStyle(window, button)) {
            std::printf("button %d: %s\n", button, (*style & probe::StyleBits::visible) ? "visible" : "hidden");
        }
    }
}

int Watch(const std::string& title, int control, uint32_t timeoutMs) {
    probe::ProbedWindow window = 0;
    bool described = false;
    std::optional<std::string> last;
    for (uint32_t waited = 0; waited < timeoutMs; waited += kPollMs) {
        CloseBoxes();
        if (window == 0) window = probe::FindTopWindow(title);
        // Described once the dialog has made its controls (it can be found while it makes them).
        if (window != 0 && !described && probe::ControlStyle(window, control) && probe::ControlStyle(window, 1002)) {
            DescribeControls(window, control);
            described = true;
        }
        if (window != 0) {
            if (!probe::WindowAlive(window)) {
                std::printf("--- text ---\n%s", last.value_or("").c_str());
                return 0;
            }
            if (auto text = probe::ControlText(window, control)) last = std::move(text);
        }
        probe::SleepMs(kPollMs);
    }
    std::printf("--- text ---\n%s", last.value_or("").c_str());
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
    probe::RawStandardOutput();
    const auto args = probe::Utf8Arguments();
    const auto number = [&](std::size_t i) { return static_cast<uint32_t>(std::strtoul(args[i].c_str(), nullptr, 10)); };
    if (args.size() == 4 && args[0] == "watch") return Watch(args[1], std::atoi(args[2].c_str()), number(3));
    if (args.size() == 2 && args[0] == "boxes") return Boxes(number(1));
    if (args.size() == 2 && args[0] == "exists") return probe::FindTopWindow(args[1]) != 0 ? 0 : 1;
    std::fprintf(stderr, "usage: mirt-window-probe watch TITLE CONTROL TIMEOUT_MS | exists TITLE | boxes TIMEOUT_MS\n");
    return 64;
}
