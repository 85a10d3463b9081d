// Detached start by a double fork: the intermediate child exits at once, so the program is
// adopted by init and never becomes a zombie of the starter.
#include "platform/background_process.h"

#include <cerrno>
#include <cstring>
#include <filesystem>

#include <dlfcn.h>
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include "platform/process.h"

namespace ordavel::platform {

bool StartBackgroundProgram(const std::string& program, const std::vector<std::string>& arguments,
                            std::string& error) {
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(program.c_str()));
    for (const auto& a : arguments) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    int report[2];
    if (::pipe2(report, O_CLOEXEC) != 0) {
        error = std::string("cannot start ") + program + ": " + std::strerror(errno);
        return false;
    }
    const pid_t child = ::fork();
    if (child < 0) {
        error = std::string("cannot start ") + program + ": " + std::strerror(errno);
        ::close(report[0]);
        ::close(report[1]);
        return false;
    }
    if (child == 0) {
        // Only async-signal-safe calls from here to exec.
        ::close(report[0]);
        ::setsid();
        const pid_t grandchild = ::fork();
        if (grandchild != 0) ::_exit(grandchild < 0 ? 1 : 0);
        const int null = ::open("/dev/null", O_RDWR);
        if (null >= 0) {
            ::dup2(null, 0);
            ::dup2(null, 1);
            ::dup2(null, 2);
        }
        // Every other descriptor but the report pipe (closed by exec) goes.
        for (int fd = 3; fd < 1024; ++fd) {
            if (fd != report[1]) ::close(fd);
        }
        ::execv(program.c_str(), argv.data());
        const int why = errno;
        (void)!::write(report[1], &why, sizeof why);
        ::_exit(127);
    }
    ::close(report[1]);
    int status = 0;
    while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    // The exec's failure arrives through the pipe; a successful exec closes it empty.
    int why = 0;
    ssize_t n = 0;
    do {
        n = ::read(report[0], &why, sizeof why);
    } while (n < 0 && errno == EINTR);
    ::close(report[0]);
    if (n == static_cast<ssize_t>(sizeof why)) {
        error = "cannot run " + program + ": " + std::strerror(why);
        return false;
    }
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        error = "cannot start " + program;
        return false;
    }
    return true;
}

std::string ModuleFolderOf(const void* address) {
    Dl_info info{};
    if (::dladdr(address, &info) == 0 || info.dli_fname == nullptr || info.dli_fname[0] == '\0') {
        return ExecutableDirectory();
    }
    std::error_code ec;
    const auto path = std::filesystem::canonical(info.dli_fname, ec);
    // The main program may be named as it was started (relative to a folder since left).
    return ec ? ExecutableDirectory() : path.parent_path().string();
}

long ThisProcessId() { return static_cast<long>(::getpid()); }

bool IsExecutableFile(const std::string& path) {
    std::error_code ec;
    return std::filesystem::is_regular_file(path, ec) && ::access(path.c_str(), X_OK) == 0;
}

}  // namespace ordavel::platform
