#include "tests/support/command_output.h"

#include <sys/wait.h>

#include <array>
#include <cstdio>

namespace ordavel::test {

CommandOutput RunShellCommand(const std::string& command) {
    CommandOutput run;
    FILE* pipe = ::popen((command + " 2>&1").c_str(), "r");
    if (pipe == nullptr) return run;
    std::array<char, 4096> chunk{};
    std::size_t n = 0;
    while ((n = std::fread(chunk.data(), 1, chunk.size(), pipe)) > 0) run.output.append(chunk.data(), n);
    const int status = ::pclose(pipe);
    run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}

}  // namespace ordavel::test
