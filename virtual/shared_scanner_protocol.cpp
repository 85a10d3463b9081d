// Encoding and framing of the shared scanner's messages.
#include "virtual/shared_scanner_protocol.h"

#include <array>
#include <cmath>

namespace ordavel::virtual_scanner::wire {

namespace {

void PutU64(std::vector<uint8_t>& out, uint64_t v) {
    for (int i = 0; i < 8; ++i) out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

uint64_t GetU64(std::span<const uint8_t> in, std::size_t at) {
    uint64_t v = 0;
    for (int i = 7; i >= 0; --i) v = (v << 8) | in[at + static_cast<std::size_t>(i)];
    return v;
}

void PutText(std::vector<uint8_t>& out, const std::string& text) {
    PutU32(out, static_cast<uint32_t>(text.size()));
    out.insert(out.end(), text.begin(), text.end());
}

bool GetText(std::span<const uint8_t> in, std::size_t& at, std::string& text) {
    if (in.size() < at + 4) return false;
    const uint32_t n = GetU32(in, at);
    at += 4;
    if (in.size() - at < n) return false;
    text.assign(reinterpret_cast<const char*>(in.data() + at), n);
    at += n;
    return true;
}

}  // namespace

void PutU32(std::vector<uint8_t>& out, uint32_t v) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

uint32_t GetU32(std::span<const uint8_t> in, std::size_t at) {
    return in[at] | (in[at + 1] << 8) | (in[at + 2] << 16) | (static_cast<uint32_t>(in[at + 3]) << 24);
}

// The speed travels in thousandths, so both ends compute time from the same number.
std::vector<uint8_t> EncodeAnnouncement(const Announcement& a) {
    std::vector<uint8_t> out;
    PutU32(out, kVersion);
    PutU64(out, static_cast<uint64_t>(std::llround(a.speed * 1000.0)));
    PutU64(out, a.originMicros);
    PutText(out, a.manufacturer);
    PutText(out, a.product);
    return out;
}

std::optional<Announcement> DecodeAnnouncement(std::span<const uint8_t> payload) {
    if (payload.size() < 20 || GetU32(payload, 0) != kVersion) return std::nullopt;
    Announcement a;
    a.speed = static_cast<double>(GetU64(payload, 4)) / 1000.0;
    a.originMicros = GetU64(payload, 12);
    std::size_t at = 20;
    if (a.speed <= 0 || !GetText(payload, at, a.manufacturer) || !GetText(payload, at, a.product)) return std::nullopt;
    return a;
}

platform::SocketWait Send(platform::LocalSocket& socket, uint8_t kind, std::span<const uint8_t> payload,
                          uint32_t timeoutMs) {
    std::vector<uint8_t> frame;
    frame.reserve(5 + payload.size());
    frame.push_back(kind);
    PutU32(frame, static_cast<uint32_t>(payload.size()));
    frame.insert(frame.end(), payload.begin(), payload.end());
    return socket.sendAll(frame, timeoutMs);
}

platform::SocketWait Receive(platform::LocalSocket& socket, Message& message, uint32_t timeoutMs) {
    std::array<uint8_t, 5> head{};
    if (const auto w = socket.receiveAll(head, timeoutMs); w != platform::SocketWait::Ok) return w;
    const uint32_t length = GetU32(head, 1);
    if (length > kMaxPayload) return platform::SocketWait::Failed;
    message.kind = head[0];
    message.payload.resize(length);
    return socket.receiveAll(message.payload, timeoutMs);
}

}  // namespace ordavel::virtual_scanner::wire
