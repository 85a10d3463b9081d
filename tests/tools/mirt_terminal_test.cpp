// mirt in a real terminal: a batch run in a tmux pane draws one progress line per page, names
// each file written and ends with a summary; a failure is one line in English with the driver's
// own text beside it. What the pane finally shows is what a user reads, carriage-return redraws
// and all, so this is checked rather than the program's raw output.
#include <chrono>
#include <regex>
#include <sstream>
#include <thread>

#include "tests/support/param_names.h"
#include "tests/tools/mirt_program.h"

namespace {

using namespace mirt_test;

constexpr const char* kExitMark = "mirt exited with ";

// One tmux server of the test's own (its own socket, no user configuration), one pane running
// the command, the pane's text once the command has ended.
class TerminalPane {
public:
    explicit TerminalPane(const fs::path& dir) : socket_((dir / "tmux.socket").string()) {}
    ~TerminalPane() { ordavel::test::RunShellCommand(tmux() + " kill-server"); }

    // Runs `command` in a 120-column pane and returns the lines the pane shows when it ends
    // (empty when it did not end within the time).
    std::vector<std::string> run(const std::string& command) {
        const std::string inPane = command + "; echo \"" + kExitMark + "$?\"; sleep 60";
        ordavel::test::RunShellCommand(tmux() + " new-session -d -x 120 -y 60 " + Quote(inPane));
        for (int tries = 0; tries < 400; ++tries) {
            const std::string text = ordavel::test::RunShellCommand(tmux() + " capture-pane -p -J -S -").output;
            if (text.find(kExitMark) != std::string::npos) return LinesOf(text);
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        return {};
    }

private:
    static std::string Quote(const std::string& text) {
        std::string quoted = "'";
        for (char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
        return quoted + "'";
    }
    static std::vector<std::string> LinesOf(const std::string& text) {
        std::vector<std::string> lines;
        std::istringstream in(text);
        for (std::string line; std::getline(in, line);) {
            while (!line.empty() && line.back() == ' ') line.pop_back();
            if (!line.empty()) lines.push_back(line);
        }
        return lines;
    }
    std::string tmux() const { return "env LANG=C.UTF-8 tmux -u -f /dev/null -S '" + socket_ + "'"; }

    std::string socket_;
};

struct TerminalCase {
    const char* name;
    std::vector<std::string> sheets;
    std::vector<std::vector<std::pair<std::string, std::string>>> faults;
    const char* arguments;
    int progressLines;                   // one per page scanned
    std::vector<std::string> written;    // the files named, in order
    const char* errorLine;               // the one error line, or none
    const char* lastMirtLine;            // the summary, or the error line (a pattern)
    int exitCode;
};
// Listed by name, not as a dump of the record's bytes.
void PrintTo(const TerminalCase& c, std::ostream* out) { *out << c.name; }

class MirtTerminal : public MirtProgram, public ::testing::WithParamInterface<TerminalCase> {};

TEST_P(MirtTerminal, ShowsProgressFilesAndOneSummaryOrErrorLine) {
    if (ordavel::test::RunShellCommand("command -v tmux").exitCode != 0) GTEST_SKIP() << "tmux not installed";
    const TerminalCase& c = GetParam();
    const std::string environment = Scanner(c.sheets, c.faults);
    TerminalPane pane(dir_);
    const auto lines = pane.run("cd '" + dir_.string() + "' && env LANG=C.UTF-8 MIRT_STATE_DIR='" + (dir_ / "tmp").string() +
                                "' MIRT_VIRTUAL_PRIVATE=1 " + environment + " '" + ordavel::test::BinaryDir() +
                                "/bin/mirt' " + c.arguments);
    ASSERT_FALSE(lines.empty()) << "mirt did not end in the pane";
    std::string shown;
    for (const auto& line : lines) shown += line + "\n";
    EXPECT_EQ(lines.back(), kExitMark + std::to_string(c.exitCode)) << shown;

    // Each page's bar ends complete on a line of its own: no redraw left half-overwritten.
    const std::regex bar(R"(page (\d+) \[#{30}\] 100%)");
    int bars = 0;
    std::vector<std::string> written;
    std::vector<std::string> errors;
    for (const auto& line : lines) {
        std::smatch m;
        if (std::regex_match(line, m, bar)) {
            EXPECT_EQ(std::stoi(m[1]), ++bars) << shown;
        } else if (line.rfind("mirt: wrote ", 0) == 0) {
            written.push_back(line.substr(12));
        } else if (line.rfind("mirt: error: ", 0) == 0) {
            errors.push_back(line);
        }
        EXPECT_EQ(line.find('\r'), std::string::npos) << shown;
    }
    EXPECT_EQ(bars, c.progressLines) << shown;
    EXPECT_EQ(written, c.written) << shown;
    EXPECT_EQ(errors, c.errorLine != nullptr ? std::vector<std::string>{c.errorLine} : std::vector<std::string>{})
        << shown;
    // The last line of mirt's own, before the shell's.
    ASSERT_GE(lines.size(), 2u);
    EXPECT_TRUE(std::regex_match(lines[lines.size() - 2], std::regex(c.lastMirtLine))) << shown;
}

const std::vector<std::pair<std::string, std::string>> kJamOnSheet2 = {
    {"Type", "Jam"}, {"Sheet", "2"}, {"At_Position", "1200"}};

INSTANTIATE_TEST_SUITE_P(
    Batches, MirtTerminal,
    ::testing::Values(
        TerminalCase{"ThreeSheets", {"chart", "ticket", "document"}, {}, "scan -f png -o out", 3,
                     {"out/page001.png", "out/page002.png", "out/page003.png"}, nullptr,
                     R"(mirt: done: 3 page\(s\) scanned; wrote out/page001\.png to out/page003\.png)", 0},
        // The jam's line is the driver's text in English with its own beside it; the page of the
        // jammed sheet is kept only under a name that says so.
        TerminalCase{"JamOnTheSecondSheet", {"chart", "chart"}, {kJamOnSheet2}, "scan -f png -o out", 2,
                     {"out/page001.png", "out/page002-jammed.png"}, "mirt: error: paper jam (塞纸)",
                     R"(mirt: 1 page\(s\) scanned before that; wrote out/page001\.png to out/page002-jammed\.png)", 4},
        // Refused before any paper moves, with the system's reason.
        TerminalCase{"OutputUnderAFile", {"chart"}, {}, "scan -f png -o tmp/Mirt.def/out", 0, {},
                     "mirt: error: cannot create the output directory tmp/Mirt.def/out: Not a directory",
                     R"(mirt: error: cannot create the output directory tmp/Mirt\.def/out: Not a directory)", 8}),
    ordavel::test::ReadableName{});

}  // namespace
