// Unix-domain stream sockets with poll() timeouts, and the user's private runtime folder.
#include "platform/local_socket.h"

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include "platform/clock.h"
#include "platform/process.h"

namespace ordavel::platform {

namespace {

// Milliseconds left until `deadline` (monotonic microseconds), at least 0.
int RemainingMs(uint64_t deadline) {
    const uint64_t now = MonotonicMicroseconds();
    return now >= deadline ? 0 : static_cast<int>((deadline - now + 999) / 1000);
}

SocketWait PollFor(int handle, short events, uint64_t deadline) {
    for (;;) {
        pollfd p{handle, events, 0};
        const int n = ::poll(&p, 1, RemainingMs(deadline));
        if (n > 0) return SocketWait::Ok;
        if (n == 0) return SocketWait::TimedOut;
        if (errno != EINTR) return SocketWait::Failed;
    }
}

bool FillAddress(const std::string& path, sockaddr_un& address, std::string& error) {
    std::memset(&address, 0, sizeof address);
    address.sun_family = AF_UNIX;
    if (path.empty() || path.size() >= sizeof address.sun_path) {
        error = "socket path too long: " + path;
        return false;
    }
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    return true;
}

// Non-blocking: a connect to a listener whose queue is full fails at once instead of waiting.
int NewSocket() { return ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0); }

// A folder that exists (or is made) with mode 0700 and belongs to the user; a symbolic link or
// a folder of someone else is refused rather than used.
bool MakePrivateFolder(const std::string& path, std::string& error) {
    if (::mkdir(path.c_str(), 0700) != 0 && errno != EEXIST) {
        error = "cannot create " + path + ": " + std::strerror(errno);
        return false;
    }
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
        error = path + " is not a folder";
        return false;
    }
    if (st.st_uid != ::geteuid()) {
        error = path + " belongs to another user";
        return false;
    }
    if ((st.st_mode & 077) != 0 && ::chmod(path.c_str(), 0700) != 0) {
        error = "cannot make " + path + " private: " + std::strerror(errno);
        return false;
    }
    return true;
}

}  // namespace

void LocalSocket::close() {
    if (handle_ >= 0) ::close(handle_);
    handle_ = -1;
}

SocketWait LocalSocket::sendAll(std::span<const uint8_t> data, uint32_t timeoutMs) {
    if (handle_ < 0) return SocketWait::Failed;
    const uint64_t deadline = MonotonicMicroseconds() + uint64_t{timeoutMs} * 1000;
    std::size_t sent = 0;
    while (sent < data.size()) {
        // MSG_NOSIGNAL: a peer that went away is a failed send, not a SIGPIPE.
        const ssize_t n = ::send(handle_, data.data() + sent, data.size() - sent, MSG_NOSIGNAL | MSG_DONTWAIT);
        if (n > 0) {
            sent += static_cast<std::size_t>(n);
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            const SocketWait w = PollFor(handle_, POLLOUT, deadline);
            if (w != SocketWait::Ok) return w;
            continue;
        }
        return (errno == EPIPE || errno == ECONNRESET) ? SocketWait::Closed : SocketWait::Failed;
    }
    return SocketWait::Ok;
}

SocketWait LocalSocket::receiveAll(std::span<uint8_t> buffer, uint32_t timeoutMs) {
    if (handle_ < 0) return SocketWait::Failed;
    const uint64_t deadline = MonotonicMicroseconds() + uint64_t{timeoutMs} * 1000;
    std::size_t got = 0;
    while (got < buffer.size()) {
        const ssize_t n = ::recv(handle_, buffer.data() + got, buffer.size() - got, MSG_DONTWAIT);
        if (n > 0) {
            got += static_cast<std::size_t>(n);
            continue;
        }
        if (n == 0) return SocketWait::Closed;
        if (errno == EINTR) continue;
        if (errno == EAGAIN || errno == EWOULDBLOCK) {
            const SocketWait w = PollFor(handle_, POLLIN, deadline);
            if (w != SocketWait::Ok) return w;
            continue;
        }
        return errno == ECONNRESET ? SocketWait::Closed : SocketWait::Failed;
    }
    return SocketWait::Ok;
}

SocketWait LocalSocket::waitReadable(uint32_t timeoutMs) {
    if (handle_ < 0) return SocketWait::Failed;
    return PollFor(handle_, POLLIN, MonotonicMicroseconds() + uint64_t{timeoutMs} * 1000);
}

LocalSocket ConnectLocalSocket(const std::string& path, std::string& error) {
    sockaddr_un address{};
    if (!FillAddress(path, address, error)) return {};
    const int handle = NewSocket();
    if (handle < 0) {
        error = std::string("cannot create a socket: ") + std::strerror(errno);
        return {};
    }
    // A local connect completes at once or fails at once (nobody listening, a stale file, a
    // full queue).
    if (::connect(handle, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        error = "cannot connect to " + path + ": " + std::strerror(errno);
        ::close(handle);
        return {};
    }
    return LocalSocket(handle);
}

bool LocalListener::listen(const std::string& path, std::string& error) {
    close();
    sockaddr_un address{};
    if (!FillAddress(path, address, error)) return false;
    const int handle = NewSocket();
    if (handle < 0) {
        error = std::string("cannot create a socket: ") + std::strerror(errno);
        return false;
    }
    ::unlink(path.c_str());
    // Created 0600: the folder is private already, this keeps the socket so if it is moved.
    const mode_t old = ::umask(0177);
    const int bound = ::bind(handle, reinterpret_cast<const sockaddr*>(&address), sizeof address);
    ::umask(old);
    if (bound != 0 || ::listen(handle, 16) != 0) {
        error = "cannot listen on " + path + ": " + std::strerror(errno);
        ::close(handle);
        return false;
    }
    handle_ = handle;
    path_ = path;
    return true;
}

LocalSocket LocalListener::accept(uint32_t timeoutMs) {
    if (handle_ < 0) return {};
    if (PollFor(handle_, POLLIN, MonotonicMicroseconds() + uint64_t{timeoutMs} * 1000) != SocketWait::Ok) return {};
    const int client = ::accept4(handle_, nullptr, nullptr, SOCK_CLOEXEC);
    return client >= 0 ? LocalSocket(client) : LocalSocket();
}

void LocalListener::close() {
    if (handle_ < 0) return;
    ::unlink(path_.c_str());
    ::close(handle_);
    handle_ = -1;
    path_.clear();
}

bool PrivateRuntimeFolder(const std::string& name, std::string& folder, std::string& error) {
    std::string base = GetEnvironment("XDG_RUNTIME_DIR");
    struct stat st {};
    // The runtime folder of the session, when it is there and the user's own; else a folder of
    // the user's own in the temporary folder (never a shared one).
    if (base.empty() || base[0] != '/' || ::stat(base.c_str(), &st) != 0 || !S_ISDIR(st.st_mode) ||
        st.st_uid != ::geteuid()) {
        base = "/tmp/mirt-" + std::to_string(::geteuid());
        if (!MakePrivateFolder(base, error)) return false;
    }
    folder = base + "/" + name;
    return MakePrivateFolder(folder, error);
}

bool LocalSocketsAvailable() { return true; }

std::size_t MaxLocalSocketPath() { return sizeof(sockaddr_un::sun_path) - 1; }

}  // namespace ordavel::platform
