// The wire between the processes that share one virtual scanner and the server that owns it.
//
// The server carries raw pipes: the pipe front already frames the controller protocol inside the
// bulk transfers, so the wire only needs the pipe's own calls (lock, unlock, bulk OUT, bulk IN)
// and a greeting. Every message, either way, is one byte of kind, a 32-bit little-endian payload
// length and the payload. A request gets exactly one answer, in order; the answer's kind is a
// Result. The connection is the client: the device lock it holds goes when it closes.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "platform/local_socket.h"

namespace ordavel::virtual_scanner::wire {

inline constexpr uint32_t kVersion = 1;
// Larger than any transfer the driver makes (65,536-byte writes, 65,535-byte reads); a length
// above it is a broken peer, not a request.
inline constexpr uint32_t kMaxPayload = 1u << 20;

enum class Request : uint8_t {
    Hello = 1,    // u32 version -> Announcement
    Present = 2,  // -> u8 1 while the device is connected
    Lock = 3,     // u32 timeout in device milliseconds -> Ok or Failed
    Unlock = 4,   // -> Ok or Failed (not held by this connection)
    Write = 5,    // bulk OUT bytes -> Ok or Failed
    Read = 6,     // u32 most bytes -> Ok with the bytes, or Failed
    Stop = 7,     // the server ends once it has answered
};

enum class Result : uint8_t { Ok = 0, Failed = 1, Refused = 2 /* payload: a text saying why */ };

// What the server tells each new connection: the device's names and the time every process
// of the device keeps (real time times `speed`, from `originMicros` of the monotonic clock).
struct Announcement {
    double speed = 1.0;
    uint64_t originMicros = 0;
    std::string manufacturer;
    std::string product;
};

std::vector<uint8_t> EncodeAnnouncement(const Announcement& a);
std::optional<Announcement> DecodeAnnouncement(std::span<const uint8_t> payload);

void PutU32(std::vector<uint8_t>& out, uint32_t v);
uint32_t GetU32(std::span<const uint8_t> in, std::size_t at);

struct Message {
    uint8_t kind = 0;
    std::vector<uint8_t> payload;
};

platform::SocketWait Send(platform::LocalSocket& socket, uint8_t kind, std::span<const uint8_t> payload,
                          uint32_t timeoutMs);
// Failed too when the peer announces a payload above kMaxPayload.
platform::SocketWait Receive(platform::LocalSocket& socket, Message& message, uint32_t timeoutMs);

}  // namespace ordavel::virtual_scanner::wire
