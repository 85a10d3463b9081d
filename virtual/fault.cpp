// Fault names as written in configuration files.
#include "virtual/fault.h"

#include <algorithm>
#include <cctype>
#include <utility>

namespace ordavel::virtual_scanner {

namespace {
constexpr std::pair<FaultType, const char*> kNames[] = {
    {FaultType::FailTransfer, "FailTransfer"}, {FaultType::ShortTransfer, "ShortTransfer"},
    {FaultType::StallDataPort, "StallDataPort"}, {FaultType::Disconnect, "Disconnect"},
    {FaultType::StuckCommand, "StuckCommand"}, {FaultType::Jam, "Jam"},
    {FaultType::CoverOpen, "CoverOpen"}, {FaultType::EmptyFeeder, "EmptyFeeder"},
    {FaultType::SheetLength, "SheetLength"}, {FaultType::DoublePick, "DoublePick"},
    {FaultType::StuckSensor, "StuckSensor"},
};
}  // namespace

bool ParseFaultType(const std::string& name, FaultType& type) {
    for (const auto& [t, n] : kNames) {
        const std::string candidate(n);
        if (candidate.size() == name.size() &&
            std::equal(name.begin(), name.end(), candidate.begin(), [](char a, char b) {
                return std::tolower(static_cast<unsigned char>(a)) == std::tolower(static_cast<unsigned char>(b));
            })) {
            type = t;
            return true;
        }
    }
    return false;
}

const char* FaultTypeName(FaultType type) {
    for (const auto& [t, n] : kNames) {
        if (t == type) return n;
    }
    return "?";
}

}  // namespace ordavel::virtual_scanner
