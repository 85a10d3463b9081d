// The driver context: construction and file locations.
#include "driver/interface/driver_context.h"

#include "driver/interface/session.h"
#include "platform/temp_dir.h"

namespace ordavel {

DriverContext::DriverContext(DriverEnvironment environment) : environment_(std::move(environment)) {}

DriverContext::~DriverContext() = default;

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
