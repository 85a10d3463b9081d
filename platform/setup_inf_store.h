// The INF store under the Windows directory ("inf/"): INF files copied in as the next free
// oemN.inf with an oemN.PNF beside it that records where they came from, and the udev rule that
// gives the logged-in user access to every USB hardware identifier a stored INF serves. That
// rule is the Linux meaning of an installed driver: the user-space driver needs nothing from the
// kernel but access to the device node.
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

    // Rewrites the access rule from the INFs now in the store; reloads udev when it changed.
    bool syncAccessRules(uint32_t& error);

    static std::string PnfPathOf(const std::string& infPath);
    static constexpr const char* kRuleFileName = "70-mirt-installed-drivers.rules";

private:
    std::string directory_;
    AccessRules rules_;
};

}  // namespace ordavel::platform
