// What local sockets share on every system: moving the one handle a socket owns.
#include "platform/local_socket.h"

namespace ordavel::platform {

LocalSocket& LocalSocket::operator=(LocalSocket&& other) noexcept {
    if (this != &other) {
        close();
        handle_ = other.handle_;
        other.handle_ = -1;
    }
    return *this;
}

}  // namespace ordavel::platform
