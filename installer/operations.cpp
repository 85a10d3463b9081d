// The operation table and the operation number.
#include "installer/operations.h"

#include <climits>

namespace installer {

std::string JoinPath(const std::string& directory, const std::string& name) {
    if (!directory.empty() && (directory.back() == ordavel::platform::kSetupPathSeparator)) return directory + name;
    return directory + ordavel::platform::kSetupPathSeparator + name;
}

bool RunOperation(int number, InstallerContext& ctx) {
    switch (number) {
        case 1: return UpdateOrPreinstall(UpdatePackage::SerialPort, ctx);
        case 2: return UpdateOrPreinstall(UpdatePackage::BulkUsb, ctx);
        case 5: return UpdateOrPreinstall(UpdatePackage::Scanner, ctx);
        case 8: return InstallRootEnumeratedDevice(ctx);
        case 11: return RemoveDrivers(RemovalKind::SerialPort, ctx);
        case 22: return RemoveDrivers(RemovalKind::BulkUsb, ctx);
        case 55: return RemoveDrivers(RemovalKind::Scanner, ctx);
        case 88: return RemoveDrivers(RemovalKind::RootSerialPort, ctx);
        default: return true;  // nothing asked, nothing failed
    }
}

int ParseOperationNumber(std::string_view argument) {
    std::size_t i = 0;
    auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r'; };
    while (i < argument.size() && blank(argument[i])) ++i;
    bool negative = false;
    if (i < argument.size() && (argument[i] == '+' || argument[i] == '-')) negative = argument[i++] == '-';
    long long value = 0;
    for (; i < argument.size() && argument[i] >= '0' && argument[i] <= '9'; ++i) {
        value = value * 10 + (argument[i] - '0');
        if (value > static_cast<long long>(INT_MAX) + 1) value = static_cast<long long>(INT_MAX) + 1;
    }
    if (negative) value = -value;
    if (value > INT_MAX) value = INT_MAX;
    return static_cast<int>(value);
}

}  // namespace installer
