// Windows command lines and module paths.
#include "platform/win32/command_line.h"

#include <windows.h>

namespace ordavel::platform::win32 {

namespace {

// The quoting the runtime undoes: backslashes are literal except before a quote, where each
// doubled backslash stands for one and a lone one escapes the quote.
std::string Quoted(const std::string& argument) {
    if (!argument.empty() && argument.find_first_of(" \t\n\v\"") == std::string::npos) return argument;
    std::string out = "\"";
    std::size_t backslashes = 0;
    for (char c : argument) {
        if (c == '\\') {
            ++backslashes;
            continue;
        }
        out.append(c == '"' ? backslashes * 2 + 1 : backslashes, '\\');
        backslashes = 0;
        out += c;
    }
    out.append(backslashes * 2, '\\');
    return out + "\"";
}

}  // namespace

std::string CommandLine(const std::string& program, const std::vector<std::string>& arguments) {
    std::string line = Quoted(program);
    for (const auto& argument : arguments) line += " " + Quoted(argument);
    return line;
}

std::string ModulePathOf(const void* address) {
    HMODULE module = nullptr;
    if (address != nullptr &&
        ::GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                             static_cast<const char*>(address), &module) == 0) {
        return {};
    }
    char path[MAX_PATH * 2] = {};
    const DWORD length = ::GetModuleFileNameA(module, path, sizeof path);
    return length > 0 && length < sizeof path ? std::string(path, length) : std::string();
}

std::string FolderOf(const std::string& path) {
    const auto last = path.find_last_of("\\/");
    return last == std::string::npos ? std::string() : path.substr(0, last);
}

}  // namespace ordavel::platform::win32
