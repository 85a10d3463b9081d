// Local sockets on Windows: not offered. The virtual scanner's shared server is a POSIX service;
// on Windows every process models its own scanner in-process (MIRT_VIRTUAL_PRIVATE=1), so each
// call here fails with a clear error and nothing waits.
#include "platform/local_socket.h"

namespace ordavel::platform {

namespace {
constexpr const char* kUnavailable = "local sockets are not available on Windows (use MIRT_VIRTUAL_PRIVATE=1)";
}  // namespace

SocketWait LocalSocket::sendAll(std::span<const uint8_t>, uint32_t) { return SocketWait::Failed; }
SocketWait LocalSocket::receiveAll(std::span<uint8_t>, uint32_t) { return SocketWait::Failed; }
SocketWait LocalSocket::waitReadable(uint32_t) { return SocketWait::Failed; }
void LocalSocket::close() { handle_ = -1; }

LocalSocket ConnectLocalSocket(const std::string&, std::string& error) {
    error = kUnavailable;
    return {};
}

bool LocalListener::listen(const std::string&, std::string& error) {
    error = kUnavailable;
    return false;
}

LocalSocket LocalListener::accept(uint32_t) { return {}; }
void LocalListener::close() { handle_ = -1; }

bool PrivateRuntimeFolder(const std::string&, std::string&, std::string& error) {
    error = kUnavailable;
    return false;
}

bool LocalSocketsAvailable() { return false; }

std::size_t MaxLocalSocketPath() { return 0; }

}  // namespace ordavel::platform
