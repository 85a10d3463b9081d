// Programs started to run on their own, on Windows: a detached process (no console, its own
// process group) that inherits no handles, so it holds none of its starter's files or pipes open.
#include "platform/background_process.h"

#include <windows.h>

#include "platform/process.h"
#include "platform/win32/command_line.h"
#include "platform/win32/system_error.h"

namespace ordavel::platform {

bool StartBackgroundProgram(const std::string& program, const std::vector<std::string>& arguments,
                            std::string& error) {
    std::string line = win32::CommandLine(program, arguments);
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION child{};
    constexpr DWORD kFlags = DETACHED_PROCESS | CREATE_NEW_PROCESS_GROUP | CREATE_NO_WINDOW;
    if (::CreateProcessA(program.c_str(), line.data(), nullptr, nullptr, FALSE, kFlags, nullptr, nullptr, &startup,
                         &child) == 0) {
        error = "cannot run " + program + ": " + win32::LastErrorText();
        return false;
    }
    ::CloseHandle(child.hThread);
    ::CloseHandle(child.hProcess);
    return true;
}

std::string ModuleFolderOf(const void* address) {
    const std::string folder = win32::FolderOf(win32::ModulePathOf(address));
    return folder.empty() ? ExecutableDirectory() : folder;
}

long ThisProcessId() { return static_cast<long>(::GetCurrentProcessId()); }

bool IsExecutableFile(const std::string& path) {
    const DWORD attributes = ::GetFileAttributesA(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) return false;
    DWORD kind = 0;
    return ::GetBinaryTypeA(path.c_str(), &kind) != 0;
}

}  // namespace ordavel::platform
