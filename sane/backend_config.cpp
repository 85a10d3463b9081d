// mirt.conf.
#include "sane/backend_config.h"

#include <charconv>
#include <sstream>

namespace mirt::sane_backend {

namespace {

std::string Trim(const std::string& s) {
    const auto first = s.find_first_not_of(" \t\r");
    if (first == std::string::npos) return {};
    const auto last = s.find_last_not_of(" \t\r");
    return s.substr(first, last - first + 1);
}

bool ParseId(const std::string& word, uint16_t& out) {
    std::string digits = word;
    int base = 10;
    if (digits.size() > 2 && digits[0] == '0' && (digits[1] == 'x' || digits[1] == 'X')) {
        digits = digits.substr(2);
        base = 16;
    }
    unsigned value = 0;
    const auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), value, base);
    if (ec != std::errc() || end != digits.data() + digits.size() || digits.empty() || value > 0xFFFF) return false;
    out = static_cast<uint16_t>(value);
    return true;
}

}  // namespace

BackendConfig ParseBackendConfig(const std::string& text) {
    BackendConfig config;
    std::istringstream lines(text);
    std::string line;
    while (std::getline(lines, line)) {
        if (const auto hash = line.find('#'); hash != std::string::npos) line.erase(hash);
        line = Trim(line);
        if (line.empty()) continue;
        const auto space = line.find_first_of(" \t");
        const std::string keyword = line.substr(0, space);
        const std::string rest = space == std::string::npos ? std::string() : Trim(line.substr(space));
        if (keyword == "usb") {
            std::istringstream words(rest);
            std::string vendor, product;
            UsbId id;
            if (words >> vendor >> product && ParseId(vendor, id.vendor) && ParseId(product, id.product)) {
                config.usbIds.push_back(id);
            }
        } else if (keyword == "virtual" && !rest.empty()) {
            config.virtualScanners.push_back(rest);
        } else if (keyword == "driver" && !rest.empty()) {
            config.driverPath = rest;
        }
    }
    return config;
}

std::vector<std::string> ConfigFolders(const std::string& saneConfigDir) {
    std::vector<std::string> folders;
    bool defaults = saneConfigDir.empty();
    std::string::size_type start = 0;
    while (!saneConfigDir.empty() && start <= saneConfigDir.size()) {
        const auto colon = saneConfigDir.find(':', start);
        const std::string part = saneConfigDir.substr(start, colon == std::string::npos ? std::string::npos : colon - start);
        if (!part.empty()) folders.push_back(part);
        if (colon == std::string::npos) break;
        if (colon + 1 == saneConfigDir.size()) defaults = true;
        start = colon + 1;
    }
    if (defaults) {
        folders.emplace_back(".");
        folders.emplace_back("/etc/sane.d");
    }
    return folders;
}

}  // namespace mirt::sane_backend
