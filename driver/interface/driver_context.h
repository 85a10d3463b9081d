// The driver context: all per-process state of the driver in one object (the session, the scan
// engine, the scanner description with the device record, the device connection) together with
// the parts it is given from outside (clock, device list, temporary directory). The exported
// functions own one context; tests build fresh ones.
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "driver/calibration/calibration_state.h"
#include "driver/description/driver_settings.h"
#include "driver/description/scanner_description.h"
#include "driver/device/connection.h"
#include "driver/device/device_record.h"
#include "driver/engine/engine_state.h"
#include "ordavel.h"
#include "platform/clock.h"
#include "platform/raw_pipe.h"

namespace ordavel::interface {
class Session;
}

namespace ordavel {

// What the driver is given: production wires the real clock, real devices and the system
// temporary directory; tests and the virtual scanner wire a virtual clock and virtual devices.
struct DriverEnvironment {
    std::shared_ptr<platform::Clock> clock;
    std::shared_ptr<platform::DeviceList> devices;
    std::string tempDirectory;     // empty: the temporary directory cannot be determined
    std::string workingDirectory;  // the process's current directory ("default.gam"); empty = "."
    // Status texts kept in the driver's own UTF-8 instead of the system's encoding (GBK on
    // Windows): for tests that compare them with the driver's literals on every system.
    bool utf8StatusTexts = false;
};

class DriverContext {
public:
    explicit DriverContext(DriverEnvironment environment);
    ~DriverContext();
    DriverContext(const DriverContext&) = delete;
    DriverContext& operator=(const DriverContext&) = delete;

    platform::Clock& clock() { return *environment_.clock; }
    platform::DeviceList& devices() { return *environment_.devices; }
    const std::string& tempDirectory() const { return environment_.tempDirectory; }
    bool utf8StatusTexts() const { return environment_.utf8StatusTexts; }

    // The temporary directory, a separator when it does not already end in one, then `name`;
    // empty when the temporary directory cannot be determined.
    std::string TempFilePath(std::string_view name) const;
    // A file in the process's current directory (where "default.gam" lives).
    std::string WorkingFilePath(std::string_view name) const;

    description::ScannerDescription description{};
    description::DriverSettings settings;
    ScanHardware hardware{};
    device::DeviceRecord record;
    device::Connection connection;
    engine::EngineState engine;
    calibration::CalibrationState calibration;
    std::unique_ptr<interface::Session> session;  // created on first use (GetSession)

private:
    DriverEnvironment environment_;
};

}  // namespace ordavel
