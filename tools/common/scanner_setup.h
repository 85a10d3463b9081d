// Getting the scanner ready before the driver is loaded: the driver's files in its directory,
// and the choice between an attached scanner and the virtual one.
#pragma once

#include <functional>
#include <span>
#include <string>
#include <vector>

#include "driver/calibration/stored_calibration.h"
#include "platform/raw_pipe.h"

namespace mirt {

using Say = std::function<void(const std::string&)>;

// The directory the driver keeps its files in: the per-user state directory ($MIRT_STATE_DIR,
// else $XDG_STATE_HOME/mirt, else ~/.local/state/mirt), created private. Empty when unusable.
std::string DriverTempDirectory();
// The same, with the reason when it is unusable (a link planted in it, another user's folder).
std::string DriverTempDirectory(std::string& error);

// Puts the reference "Mirt.def", the scanner description it names and linear gamma tables into
// the temporary directory where they are missing, saying what it put there. Never overwrites.
bool PrepareDriverFiles(const std::string& tempDir, const std::string& dataDir, const Say& say,
                        std::string& error);

// True when the stored calibration a sheet scan needs ("cr.dat", "BlackFINE.PXL") is present.
// What the driver's temporary directory holds of a calibration (shared with the driver).
using ordavel::calibration::InspectStoredCalibration;
using ordavel::calibration::StoredCalibration;

// The attached USB scanners: devices with the description's manufacturer and product strings
// (what the driver opens its scanner by) and, when `usbIds` is not empty, one of those
// identifiers. Each device once, in its first language's names.
std::vector<ordavel::platform::DeviceInfo> AttachedScanners(const std::string& tempDir,
                                                            std::span<const ordavel::platform::UsbDeviceId> usbIds = {});

// True when a USB scanner with the description's manufacturer and product strings is attached.
bool ScannerAttached(const std::string& tempDir);

// None: no scanner may be used; the choice's `problem` says why.
enum class ScannerKind { Attached, Virtual, None };

struct ScannerChoice {
    ScannerKind kind = ScannerKind::Virtual;
    std::string virtualConfig;    // the virtual scanner's configuration, when virtual
    bool demo = false;            // the built-in demonstration feeder was set up
    bool firstSheetAtEntrance = false;
    std::string problem;          // kind None: what the user is told
    bool accessDenied = false;    // kind None: a scanner is attached that this user may not open
};

// The scanner to use, never the demonstration scanner where the user expects their own:
// MIRT_VIRTUAL_SCANNER when set; else an attached scanner with the description's USB names;
// else none when a scanner is attached that this user may not open, or when this machine has had
// a real scanner set up (MachineHadScanner); else, on a machine that never had one (or when
// `demoRequested`), the reference virtual scanner with three sample pages (written to the
// temporary directory and selected through MIRT_VIRTUAL_SCANNER for the driver loaded
// afterwards), saying so on every run.
ScannerChoice ChooseScanner(const std::string& tempDir, const std::string& dataDir, const Say& say,
                            bool demoRequested = false);

// What to tell a user when a scanner of ours is attached but they may not open its device node
// (no udev access for them); empty when there is no such scanner.
std::string ScannerAccessProblem();

// The file in the driver's directory that records that this user has used a real scanner.
inline constexpr const char* kRealScannerMarker = "real-scanner-used";

// True when a real scanner has been set up on this machine: the administrator's udev set-up for
// the scanner's identifiers, or this user's record of having used one.
bool MachineHadScanner(const std::string& tempDir);

// Records in the driver's directory that this user has an attached scanner (once).
void RecordRealScanner(const std::string& tempDir);

// A virtual scanner configuration holding only the white calibration sheet at the ready
// position, for calibrating the virtual scanner.
std::string WriteVirtualCalibrationConfig(const std::string& tempDir, const std::string& dataDir);

// The folder of the reference data files.
std::string DataDirectory();

}  // namespace mirt
