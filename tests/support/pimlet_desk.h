// A desk for the scan-to-file library: a scratch folder with the driver's temporary directory
// (settings, the reference description, neutral stored calibration), an output folder, a key
// store, a runtime folder for the monitor's presence and a Windows directory, and the built
// example application run against a virtual scanner of a chosen feeder, as a user runs it.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/monitor_presence.h"

namespace ordavel::test {

struct PimletRun {
    int result = -1;
    uint32_t pages = 0;
    std::string output;
    int64_t elapsedMs = 0;
};

struct PimletScan {
    int32_t bitDepth = 8;
    int32_t resolution = 200;
    int32_t paperForm = 1;
    int singleSheet = 0;
    int32_t brightness = 0, contrast = 0, highlight = 0, shadow = 0, gamma = 10;
};

using FaultKeys = std::vector<std::pair<std::string, std::string>>;

class PimletDesk {
public:
    explicit PimletDesk(const std::string& tag = "pimlet");
    ~PimletDesk();
    PimletDesk(const PimletDesk&) = delete;
    PimletDesk& operator=(const PimletDesk&) = delete;

    const std::string& root() const { return root_; }
    std::string tmp() const { return root_ + "/tmp"; }
    std::string out() const { return root_ + "/out"; }
    std::string registry() const { return root_ + "/registry"; }
    std::string runtime() const { return root_ + "/run"; }
    std::string windir() const { return root_ + "/windir"; }
    std::string mirtFolder() const { return windir() + "/twain_32/Mirt"; }
    // The folder of the key the library and the monitor share.
    std::string keyFolder() const { return registry() + "/HKEY_CURRENT_USER/SOFTWARE/USBHalvex"; }

    // The reference scanner with these sheets (the first at the ready position) and faults.
    // Each program of the desk models it on its own virtual time unless shareScanner() was
    // called: then every program reaches the one device of the configuration through its server,
    // running at ten times real time.
    void feeder(const std::vector<std::string>& pages, const std::vector<FaultKeys>& faults = {});
    void shareScanner() { shared_ = true; }
    // The Windows directory holds the built driver and monitor (the default), or only what is asked.
    void windowsDirectory(bool driver, bool monitor);
    // A stand-in monitor program that only leaves `marker` behind when it is started.
    void markerMonitor(const std::string& marker);

    // Runs the example application; `directory` defaults to out().
    PimletRun scan(const PimletScan& scan, const std::string& prefix = "page",
                   std::optional<std::string> directory = std::nullopt);
    // Runs the monitor program with `arguments`, waits and returns its output and exit code.
    PimletRun monitor(const std::string& arguments);

    std::optional<uint32_t> value(const std::string& name) const;
    void setValue(const std::string& name, uint32_t value) const;
    void setRawValue(const std::string& name, uint32_t type, const std::string& bytes) const;

    // Holds the monitor's presence from this process, as a running monitor would.
    void holdMonitorPresence();
    // Waits (real time, bounded) until the monitor has written `expected` as "bPaperLoaded".
    bool waitForPaperValue(uint32_t expected, int timeoutMs) const;
    // Ends the monitor a run started, if one runs, and waits for its presence to go.
    void stopMonitor();

    // The environment every program of this desk sees (NAME=value words).
    std::string environment() const;
    std::vector<uint8_t> readOutput(const std::string& name) const;

private:
    std::string root_;
    std::string scannerConfig_;
    bool shared_ = false;
    std::unique_ptr<platform::Presence> presence_;
};

uint32_t Le32(const std::vector<uint8_t>& bytes, std::size_t at);
uint16_t Le16(const std::vector<uint8_t>& bytes, std::size_t at);

}  // namespace ordavel::test
