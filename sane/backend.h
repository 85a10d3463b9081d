// The backend's one context object: the configured devices, the driver library bound at run
// time, and the open scanner with its options and the sheet in progress. The exports own it.
#pragma once

#include <sane/sane.h>

#include <atomic>
#include <memory>
#include <string>
#include <vector>

#include "ordavel.h"
#include "sane/backend_config.h"
#include "sane/debug_log.h"
#include "sane/option_set.h"
#include "tools/common/driver_binding.h"
#include "tools/common/driver_status.h"

namespace mirt::sane_backend {

struct DeviceEntry {
    std::string name;           // SANE's device name, unique per device
    std::string model;
    std::string virtualConfig;  // empty for a USB scanner
};

class Backend {
public:
    // `driverCallback` is the function the driver calls back on our thread; the exports route
    // it to this context's onDriverStatus (the driver's callback carries no context of its own).
    explicit Backend(ScanStatusCallback driverCallback) : driverCallback_(driverCallback) {}

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
    // May come from a signal handler while start() or read() runs (scanimage cancels from its
    // SIGINT handler): it then only raises the flag, and the running call stops the scanner.
    void cancel();

    // The driver's status callback: nonzero stops the sheet once cancel was asked for.
    int32_t onDriverStatus(int32_t kind);

    const DebugLog& log() const { return log_; }

private:
    bool loadDriver();
    // Ends the session and turns the driver's status text (or `earlierText`, taken before the
    // connection closed) into a SANE status, saying why at the debug level.
    SANE_Status failure(const char* during, const std::string& earlierText = {});
    DriverStatus driverStatus(const std::string& text) const;
    SANE_Status explainNotCalibrated();
    bool calibrated() const;
    void updateSensorActivity();
    SANE_Status calibrate(SANE_Int* info);
    SANE_Status pageLoaded(SANE_Bool* loaded);
    bool setRequest(const ScanWindow& window);
    bool useToneCurve(std::string& error);
    void endSession();
    void finishCancel();
    SANE_Status prepareSheet();
    SANE_Status acquireSheet();
    SANE_Status feedScannedSheetOn();
    void ejectAfterCancel();

    // Marks a call that talks to the driver, so that a cancel arriving meanwhile (from a signal
    // handler) leaves the stopping to the call.
    class BusyScope {
    public:
        explicit BusyScope(std::atomic<bool>& busy) : busy_(busy) { busy_ = true; }
        ~BusyScope() { busy_ = false; }
        BusyScope(const BusyScope&) = delete;
        BusyScope& operator=(const BusyScope&) = delete;

    private:
        std::atomic<bool>& busy_;
    };

    ScanStatusCallback driverCallback_;
    DebugLog log_;
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
    ScanWindow window_;              // the window of the sheet in progress
    bool sessionOpen_ = false;       // ScanStart called, ScanStop not yet
    bool sheetPositioned_ = false;   // a feed has brought the next sheet (if any) to the scan position
    SANE_Status pendingFailure_ = SANE_STATUS_GOOD;  // why the feed after the last sheet failed
    bool scanning_ = false;          // a frame is being handed out
    std::vector<uint8_t> frame_;
    std::size_t frameOffset_ = 0;
    std::atomic<bool> busy_{false};             // start() or read() is running
    std::atomic<bool> cancelRequested_{false};  // sane_cancel came; the scan stops at the next step
};

}  // namespace mirt::sane_backend
