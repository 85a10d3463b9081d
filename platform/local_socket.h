// Local stream sockets (Unix-domain here) between processes of one user, and the private
// directory they live in. Every wait has a timeout, so a peer that died or hangs never hangs us;
// a peer that went away is a failed call, never a signal.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

namespace ordavel::platform {

enum class SocketWait { Ok, Closed, TimedOut, Failed };

class LocalSocket {
public:
    LocalSocket() = default;
    explicit LocalSocket(int handle) : handle_(handle) {}
    ~LocalSocket() { close(); }
    LocalSocket(LocalSocket&& other) noexcept : handle_(other.handle_) { other.handle_ = -1; }
    LocalSocket& operator=(LocalSocket&& other) noexcept;
    LocalSocket(const LocalSocket&) = delete;
    LocalSocket& operator=(const LocalSocket&) = delete;

    bool valid() const { return handle_ >= 0; }
    // Sends every byte within `timeoutMs`.
    SocketWait sendAll(std::span<const uint8_t> data, uint32_t timeoutMs);
    // Receives exactly buffer.size() bytes within `timeoutMs`; Closed when the peer closed first.
    SocketWait receiveAll(std::span<uint8_t> buffer, uint32_t timeoutMs);
    // Waits until bytes (or the peer's close) can be read.
    SocketWait waitReadable(uint32_t timeoutMs);
    void close();

private:
    int handle_ = -1;
};

// Connects to the socket at `path`; an invalid socket (with `error`) when nobody listens there.
LocalSocket ConnectLocalSocket(const std::string& path, std::string& error);

// A listening socket bound to a path; the path is removed when the listener closes.
class LocalListener {
public:
    LocalListener() = default;
    ~LocalListener() { close(); }
    LocalListener(const LocalListener&) = delete;
    LocalListener& operator=(const LocalListener&) = delete;

    // Binds `path`, replacing a file left there by a listener that died (the caller makes sure
    // nobody else owns the path, with an InstanceLock). Only the user can connect.
    bool listen(const std::string& path, std::string& error);
    // The next connection, or an invalid socket when none came within `timeoutMs`.
    LocalSocket accept(uint32_t timeoutMs);
    void close();

private:
    int handle_ = -1;
    std::string path_;
};

// The folder `name` in the user's private runtime folder ($XDG_RUNTIME_DIR, else a folder of
// the user's own in the system's temporary folder), created with access for the user alone.
// False with `error` when it cannot be made private (for example it belongs to someone else).
bool PrivateRuntimeFolder(const std::string& name, std::string& folder, std::string& error);

// False where the system offers no local sockets here (Windows, for now): a shared device
// between processes cannot be had, so a virtual scanner is each process's own.
bool LocalSocketsAvailable();

// The longest path a local socket can be bound to.
std::size_t MaxLocalSocketPath();

}  // namespace ordavel::platform
