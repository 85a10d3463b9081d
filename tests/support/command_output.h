// Running a shell command line and keeping what it printed (standard error merged in), for the
// tests that drive the built programs and the system's own tools.
#pragma once

#include <string>

namespace ordavel::test {

struct CommandOutput {
    int exitCode = -1;  // -1 when the command could not be run or did not exit normally
    std::string output;
};

CommandOutput RunShellCommand(const std::string& command);

}  // namespace ordavel::test
