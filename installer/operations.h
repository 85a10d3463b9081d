// The installer's operations, one per run, chosen by number.
#pragma once

#include <string_view>

#include "installer/installer_context.h"

namespace installer {

// Runs operation `number`; a number without an operation does nothing. True when the operation
// reached its goal (a driver installed or staged, a removal run), false when it failed; the
// log and message box are the operation's own report either way.
bool RunOperation(int number, InstallerContext& ctx);

// The operation number of a command-line argument: optional blanks and sign, then the leading
// decimal digits ("5abc" is 5); none read 0; values beyond the int range saturate.
int ParseOperationNumber(std::string_view argument);

// Operations 1, 2 and 5: update the driver of a present device, else stage the INF.
enum class UpdatePackage { SerialPort, BulkUsb, Scanner };
bool UpdateOrPreinstall(UpdatePackage package, InstallerContext& ctx);

// Operation 8: create the root-enumerated serial port device and install its driver.
bool InstallRootEnumeratedDevice(InstallerContext& ctx);

// Operations 11, 22, 55, 88.
enum class RemovalKind { SerialPort, BulkUsb, Scanner, RootSerialPort };
bool RemoveDrivers(RemovalKind kind, InstallerContext& ctx);

}  // namespace installer
