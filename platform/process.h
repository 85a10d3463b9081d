// Process-level facilities for programs: terminal detection, environment, own location, children.
#pragma once

#include <string>
#include <vector>

namespace ordavel::platform {

// True when standard error is a terminal (progress is drawn only there).
bool StderrIsTerminal();
// Makes standard output carry bytes unchanged, for a program that writes a file there (Windows
// would otherwise turn every newline byte into CR LF; POSIX streams are binary already).
void UseBinaryStandardOutput();
// Sets an environment variable for this process and the libraries it loads afterwards.
bool SetEnvironment(const std::string& name, const std::string& value);
std::string GetEnvironment(const std::string& name);
// Removes an environment variable.
bool ClearEnvironment(const std::string& name);
// The folder holding the running program.
std::string ExecutableDirectory();
// How many threads this process runs now.
int ThreadCountOfThisProcess();
// The most memory this process has held at once, in KiB.
long PeakMemoryKiB();
// Runs the running program again with `arguments` and `extraEnvironment` ("NAME=value"), waits,
// and returns its exit code (-1 when it could not be run).
int RunSelf(const std::vector<std::string>& arguments, const std::vector<std::string>& extraEnvironment);

}  // namespace ordavel::platform
