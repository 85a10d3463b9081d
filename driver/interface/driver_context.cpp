// The driver context: construction and file locations.
#include "driver/interface/driver_context.h"

#include "driver/interface/session.h"
#include "platform/temp_dir.h"

namespace ordavel {

DriverContext::DriverContext(DriverEnvironment environment) : environment_(std::move(environment)) {}

// The session and the connection go before the environment they were opened through: a pipe
// must be closed while its device backend (and the USB library under it) still exists.
DriverContext::~DriverContext() {
    session.reset();
    connection.pipe.reset();
    connection.deviceList.clear();
}

std::string DriverContext::TempFilePath(std::string_view name) const {
    const std::string& dir = environment_.tempDirectory;
    if (dir.empty()) return {};
    std::string path = dir;
    if (path.back() != platform::kPathSeparator) path += platform::kPathSeparator;
    path += name;
    return path;
}

std::string DriverContext::WorkingFilePath(std::string_view name) const {
    const std::string& dir = environment_.workingDirectory;
    if (dir.empty()) return std::string(name);
    std::string path = dir;
    if (path.back() != platform::kPathSeparator) path += platform::kPathSeparator;
    path += name;
    return path;
}

}  // namespace ordavel
