// Process-level facilities on Windows.
#include "platform/process.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include <windows.h>
#include <fcntl.h>
#include <io.h>
#include <psapi.h>
#include <tlhelp32.h>

#include "platform/win32/command_line.h"

namespace ordavel::platform {

namespace {

// This process's environment block with `extra` ("NAME=value") set over it: a sequence of
// NUL-terminated entries ended by an empty one.
std::vector<char> EnvironmentWith(const std::vector<std::string>& extra) {
    std::vector<std::string> entries;
    if (char* block = ::GetEnvironmentStringsA()) {
        for (const char* p = block; *p != '\0'; p += std::strlen(p) + 1) entries.emplace_back(p);
        ::FreeEnvironmentStringsA(block);
    }
    for (const auto& entry : extra) {
        const auto eq = entry.find('=');
        if (eq == std::string::npos || eq == 0) continue;
        const std::string name = entry.substr(0, eq + 1);
        std::erase_if(entries, [&](const std::string& e) { return ::_strnicmp(e.c_str(), name.c_str(), name.size()) == 0; });
        entries.push_back(entry);
    }
    std::vector<char> block;
    for (const auto& e : entries) block.insert(block.end(), e.c_str(), e.c_str() + e.size() + 1);
    block.push_back('\0');
    return block;
}

}  // namespace

bool StderrIsTerminal() { return ::_isatty(::_fileno(stderr)) != 0; }

bool SetEnvironment(const std::string& name, const std::string& value) {
    // The process environment (what GetEnvironmentVariableA and started programs see) and the C
    // runtime's copy (what getenv sees) both.
    return ::SetEnvironmentVariableA(name.c_str(), value.c_str()) != 0 &&
           ::_putenv_s(name.c_str(), value.c_str()) == 0;
}

std::string GetEnvironment(const std::string& name) {
    const DWORD needed = ::GetEnvironmentVariableA(name.c_str(), nullptr, 0);
    if (needed == 0) return {};
    std::string value(needed, '\0');
    const DWORD length = ::GetEnvironmentVariableA(name.c_str(), value.data(), needed);
    value.resize(length < needed ? length : 0);
    return value;
}

bool ClearEnvironment(const std::string& name) {
    // An empty value removes the runtime's copy.
    return ::SetEnvironmentVariableA(name.c_str(), nullptr) != 0 && ::_putenv_s(name.c_str(), "") == 0;
}

std::string ExecutableDirectory() {
    const std::string folder = win32::FolderOf(win32::ModulePathOf(nullptr));
    return folder.empty() ? std::string(".") : folder;
}

int ThreadCountOfThisProcess() {
    const HANDLE snapshot = ::CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    if (snapshot == INVALID_HANDLE_VALUE) return 0;
    int count = 0;
    THREADENTRY32 entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = ::Thread32First(snapshot, &entry); more; more = ::Thread32Next(snapshot, &entry)) {
        if (entry.th32OwnerProcessID == ::GetCurrentProcessId()) ++count;
    }
    ::CloseHandle(snapshot);
    return count;
}

long PeakMemoryKiB() {
    PROCESS_MEMORY_COUNTERS counters{};
    counters.cb = sizeof counters;
    if (::GetProcessMemoryInfo(::GetCurrentProcess(), &counters, sizeof counters) == 0) return 0;
    return static_cast<long>(counters.PeakWorkingSetSize / 1024);
}

int RunSelf(const std::vector<std::string>& arguments, const std::vector<std::string>& extraEnvironment) {
    const std::string self = win32::ModulePathOf(nullptr);
    if (self.empty()) return -1;
    std::string line = win32::CommandLine(self, arguments);
    std::vector<char> environment = EnvironmentWith(extraEnvironment);
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION child{};
    if (::CreateProcessA(self.c_str(), line.data(), nullptr, nullptr, TRUE, 0, environment.data(), nullptr, &startup,
                         &child) == 0) {
        return -1;
    }
    ::CloseHandle(child.hThread);
    DWORD code = 0;
    const bool ended = ::WaitForSingleObject(child.hProcess, INFINITE) == WAIT_OBJECT_0 &&
                       ::GetExitCodeProcess(child.hProcess, &code) != 0;
    ::CloseHandle(child.hProcess);
    return ended ? static_cast<int>(code) : -1;
}

void UseBinaryStandardOutput() {
    std::fflush(stdout);
    _setmode(_fileno(stdout), _O_BINARY);
}

}  // namespace ordavel::platform
