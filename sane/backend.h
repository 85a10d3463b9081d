// The backend's one context object: the configured devices, the driver library bound at run
// time, and the open scanner with its options and the sheet in progress. The exports own it.
#pragma once

#include <sane/sane.h>

#include <atomic>
#include <memory>
#include <string>
#include <vector>

#include "sane/backend_config.h"
#include "sane/option_set.h"
#include "tools/common/driver_binding.h"

namespace mirt::sane_backend {

struct DeviceEntry {
    std::string name;           // SANE's device name, unique per device
    std::string model;
    std::string virtualConfig;  // empty for a USB scanner
};

class Backend {
public:
    // Reads mirt.conf from the folders of `saneConfigDir` and finds the devices.
    SANE_Status init(const std::string& saneConfigDir);
    SANE_Status getDevices(const SANE_Device*** list, bool localOnly);
    SANE_Status open(const std::string& name);
    void close();
    bool isOpen() const { return open_; }

    const SANE_Option_Descriptor* descriptor(int index) const { return options_.descriptor(index); }
    SANE_Status control(int index, SANE_Action action, void* value, SANE_Int* info);
    SANE_Status parameters(SANE_Parameters* out) const;
    SANE_Status start();
    SANE_Status read(SANE_Byte* data, SANE_Int max, SANE_Int* length);
    void cancel();

    // The driver's progress callback: nonzero stops the sheet once cancel was asked for.
    int32_t onDriverStatus(int32_t kind);

private:
    bool loadDriver();
    SANE_Status failure(const char* during);
    SANE_Status calibrate();
    SANE_Status pageLoaded(SANE_Bool* loaded);
    bool setRequest(int32_t lineOrder);
    bool writeToneCurve();
    void setScanFlag(bool scanning);
    void endSession();
    SANE_Status acquireSheet();

    BackendConfig config_;
    std::vector<DeviceEntry> devices_;
    std::vector<SANE_Device> saneDevices_;
    std::vector<const SANE_Device*> deviceList_;
    std::string tempDir_;
    std::string dataDir_;
    std::unique_ptr<DriverBinding> driver_;

    bool open_ = false;
    DeviceEntry device_;
    OptionSet options_;
    ScanWindow window_;          // the window of the sheet in progress
    bool sessionOpen_ = false;   // ScanStart called, ScanStop not yet
    bool needFeed_ = false;      // the next sheet must be fed before it is scanned
    bool scanning_ = false;      // a frame is being handed out
    std::vector<uint8_t> frame_;
    std::size_t frameOffset_ = 0;
    std::atomic<bool> cancelRequested_{false};
};

}  // namespace mirt::sane_backend
