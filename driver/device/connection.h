// The one device connection of the process: the device list found at open and the raw pipe.
#pragma once

#include <memory>
#include <vector>

#include "platform/raw_pipe.h"

namespace ordavel::device {

struct Connection {
    bool instanceOpen = false;                      // the device service instance exists
    std::vector<platform::DeviceInfo> deviceList;   // kept from open until close
    std::unique_ptr<platform::RawPipe> pipe;        // null when closed
};

}  // namespace ordavel::device
