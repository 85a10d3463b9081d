// Error codes of the device set-up layer. They are the Windows values on every platform, so an
// error report reads the same everywhere: the few system codes the set-up calls produce and the
// set-up interface's own codes (customer bit and error severity set, facility 0).
#pragma once

#include <cstdint>

namespace ordavel::platform::setup_error {

// System codes.
inline constexpr uint32_t kSuccess = 0;
inline constexpr uint32_t kFileNotFound = 2;
inline constexpr uint32_t kPathNotFound = 3;
inline constexpr uint32_t kAccessDenied = 5;
inline constexpr uint32_t kInvalidHandle = 6;
inline constexpr uint32_t kNotEnoughMemory = 8;
inline constexpr uint32_t kInvalidData = 13;
inline constexpr uint32_t kGeneralFailure = 31;
inline constexpr uint32_t kFileExists = 80;
inline constexpr uint32_t kInvalidParameter = 87;
inline constexpr uint32_t kDiskFull = 112;
inline constexpr uint32_t kInsufficientBuffer = 122;
inline constexpr uint32_t kFilenameTooLong = 206;
inline constexpr uint32_t kNoMoreItems = 259;
inline constexpr uint32_t kInvalidFlags = 1004;

// Set-up interface codes.
inline constexpr uint32_t kExpectedSectionName = 0xE0000000;
inline constexpr uint32_t kBadSectionNameLine = 0xE0000001;
inline constexpr uint32_t kSectionNameTooLong = 0xE0000002;
inline constexpr uint32_t kGeneralSyntax = 0xE0000003;
inline constexpr uint32_t kWrongInfStyle = 0xE0000100;
inline constexpr uint32_t kSectionNotFound = 0xE0000101;
inline constexpr uint32_t kLineNotFound = 0xE0000102;
inline constexpr uint32_t kNoAssociatedClass = 0xE0000200;
inline constexpr uint32_t kNoDriverSelected = 0xE0000203;
inline constexpr uint32_t kInvalidDevinstName = 0xE0000205;
inline constexpr uint32_t kInvalidClass = 0xE0000206;
inline constexpr uint32_t kDevinstAlreadyExists = 0xE0000207;
inline constexpr uint32_t kDevinfoNotRegistered = 0xE0000208;
inline constexpr uint32_t kInvalidRegProperty = 0xE0000209;
inline constexpr uint32_t kNoSuchDevinst = 0xE000020B;
inline constexpr uint32_t kDiDoDefault = 0xE000020E;
inline constexpr uint32_t kNotInstalled = 0xE0001000;

}  // namespace ordavel::platform::setup_error
