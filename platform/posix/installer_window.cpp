// The installer's window on a terminal or pipe.
#include "platform/installer_window.h"

#include <cstdio>
#include <string>

namespace ordavel::platform {

void ConsoleInstallerWindow::appendToLog(std::string_view text) {
    std::fwrite(text.data(), 1, text.size(), stdout);
    std::fflush(stdout);
}

void ConsoleInstallerWindow::showMessageBox(std::string_view caption, std::string_view text) {
    // One line: the text's own line ends are the box's layout, not part of the message.
    std::string line(caption);
    line += ": ";
    line += text;
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.pop_back();
    for (char& c : line) {
        if (c == '\n' || c == '\r') c = ' ';
    }
    line += '\n';
    std::fwrite(line.data(), 1, line.size(), stderr);
    std::fflush(stderr);
}

std::unique_ptr<InstallerWindow> CreateInstallerWindow() { return std::make_unique<ConsoleInstallerWindow>(); }

}  // namespace ordavel::platform
