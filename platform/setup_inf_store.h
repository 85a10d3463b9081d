// The INF store under the Windows directory ("inf/"): INF files copied in as the next free
// oemN.inf with an oemN.PNF beside it that records where they came from, and the udev rule that
// gives the logged-in user access to every USB hardware identifier a stored INF serves, with a
// hardware-database file that marks the stored scanner drivers' devices as scanners for SANE's
// rules (which give them to the "scanner" group as well). That access is the Linux meaning of an
// installed driver: the user-space driver needs nothing from the kernel but the device node.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace ordavel::platform {

class InfFile;

// The models lines of an INF that list `hardwareId` (compared without regard to letter case):
// description (field 0) of each.
std::vector<std::string> ModelDescriptionsFor(const InfFile& inf, const std::string& hardwareId);
// Every hardware identifier the INF's models lines list, in order.
std::vector<std::string> ModelHardwareIds(const InfFile& inf);

struct AccessRules {
    std::string rulesDirectory;          // where the rule file lives
    std::optional<std::string> udevadm;  // program that reloads the rules; none: no reload
    // Where the hardware-database file marking stored scanner drivers' devices as scanners lives
    // (empty: none is written), and the program that compiles the database after it changed
    // (none or empty: not compiled).
    std::string hwdbDirectory;
    std::optional<std::string> hwdbUpdate;
};

class InfStore {
public:
    InfStore(std::string directory, AccessRules rules) : directory_(std::move(directory)), rules_(std::move(rules)) {}

    const std::string& directory() const { return directory_; }

    struct Staged {
        std::string path;    // full path of the stored INF
        bool existed = false;  // an identical INF was stored already
    };
    // Stores `content` (the INF at `sourcePath`) unless an identical INF is there already.
    std::optional<Staged> stage(const std::string& sourcePath, const std::string& content,
                                const std::string& mediaLocation, uint32_t& error);
    // The full path `stage` would give a new INF (the next free oemN.inf).
    std::string nextFreeName() const;
    // Removes a stored INF and its PNF (used to undo a stage whose rule could not be written).
    void unstage(const std::string& path);

    // Rewrites the access rule and the scanners' hardware-database file from the INFs now in
    // the store (the database lists the devices of the scanner drivers, class "Image"); compiles
    // the database when its file changed and reloads udev when either changed.
    bool syncAccessRules(uint32_t& error);

    static std::string PnfPathOf(const std::string& infPath);
    static constexpr const char* kRuleFileName = "70-mirt-installed-drivers.rules";
    static constexpr const char* kHwdbFileName = "60-mirt-installed-drivers.hwdb";

private:
    std::string directory_;
    AccessRules rules_;
};

}  // namespace ordavel::platform
