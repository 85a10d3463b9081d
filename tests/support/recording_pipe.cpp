// Recording the bulk transfers of a wrapped device backend, and decoding them into frames.
#include "tests/support/recording_pipe.h"

#include <algorithm>
#include <cstdio>

namespace ordavel::test {

namespace {

class RecordingPipe final : public platform::RawPipe {
public:
    RecordingPipe(std::unique_ptr<platform::RawPipe> inner, std::shared_ptr<TransferLog> log)
        : inner_(std::move(inner)), log_(std::move(log)) {}

    bool lock(uint32_t timeoutMs) override { return inner_->lock(timeoutMs); }
    bool unlock() override { return inner_->unlock(); }
    bool write(std::span<const uint8_t> data) override {
        const bool ok = inner_->write(data);
        log_->transfers.push_back({true, ok, {data.begin(), data.end()}});
        return ok;
    }
    bool read(std::span<uint8_t> buffer, std::size_t& received) override {
        const bool ok = inner_->read(buffer, received);
        const std::size_t got = ok ? std::min(received, buffer.size()) : 0;
        log_->transfers.push_back({false, ok, {buffer.begin(), buffer.begin() + static_cast<std::ptrdiff_t>(got)}});
        return ok;
    }

private:
    std::unique_ptr<platform::RawPipe> inner_;
    std::shared_ptr<TransferLog> log_;
};

constexpr uint8_t kMemoryPort = 0x06;

std::string Hex(uint8_t byte) {
    char text[4];
    std::snprintf(text, sizeof text, "%02X", byte);
    return text;
}

// Bytes in rows of sixteen, each row indented under the frame line.
std::string ByteRows(const std::vector<uint8_t>& bytes, std::size_t limit) {
    std::string out;
    for (std::size_t i = 0; i < bytes.size() && i < limit; ++i) {
        out += i % 16 == 0 ? "\n    " : " ";
        out += Hex(bytes[i]);
    }
    return out;
}

uint32_t Fnv1a(const std::vector<uint8_t>& bytes) {
    uint32_t hash = 2166136261u;
    for (uint8_t b : bytes) hash = (hash ^ b) * 16777619u;
    return hash;
}

bool IsMemoryWrite(const Frame& f) { return f.operation == 0 && f.address == kMemoryPort; }

// A run of memory-port pieces as one line: total length, piece count, checksum, first bytes.
std::string RenderMemoryWrite(const std::vector<uint8_t>& bytes, std::size_t pieces) {
    char line[96];
    std::snprintf(line, sizeof line, "W 06 (%zu in %zu pieces): fnv1a %08X", bytes.size(), pieces, Fnv1a(bytes));
    return line + ByteRows(bytes, 16) + (bytes.size() > 16 ? " ..." : "");
}

// A run of memory-port pieces from `i` on, as one line; `i` ends past the run.
std::string RenderMemoryRun(const std::vector<Frame>& frames, std::size_t& i) {
    std::vector<uint8_t> bytes;
    std::size_t pieces = 0;
    for (; i < frames.size() && IsMemoryWrite(frames[i]); ++i, ++pieces) {
        bytes.insert(bytes.end(), frames[i].data.begin(), frames[i].data.end());
    }
    return RenderMemoryWrite(bytes, pieces);
}

std::string RenderFrame(const Frame& f) {
    const bool increment = (f.operation & 2) != 0;
    std::string line = std::string(f.isRead() ? "R" : "W") + (increment ? "+ " : " ") + Hex(f.address);
    if (f.data.size() == 1 && f.count == 1) return line + (f.isRead() ? " -> " : " = ") + Hex(f.data[0]);
    line += " (" + std::to_string(f.count) + ")" + (f.isRead() ? " ->" : ":");
    return line + ByteRows(f.data, f.data.size());
}

constexpr uint8_t kDataPort = 0x00;
constexpr std::size_t kInlineBytes = 8;

// As RenderFrame, with a short block's bytes on the frame's own line: "R 01 (3) -> E4 E4 E4".
std::string RenderCompactFrame(const Frame& f) {
    std::string text = RenderFrame(f);
    if (f.data.size() <= kInlineBytes) {
        for (std::size_t at; (at = text.find("\n    ")) != std::string::npos;) text.replace(at, 5, " ");
    }
    return text;
}

bool IsDataRead(const Frame& f) { return f.isRead() && f.address == kDataPort; }

bool SameFrame(const Frame& a, const Frame& b) {
    return a.operation == b.operation && a.address == b.address && a.count == b.count && a.data == b.data;
}

// A run of data-port reads from `i` on, as one line; `i` ends past the run.
std::string RenderDataReads(const std::vector<Frame>& frames, std::size_t& i) {
    std::size_t reads = 0, bytes = 0;
    for (; i < frames.size() && IsDataRead(frames[i]); ++i, ++reads) bytes += frames[i].data.size();
    return "R 00 data: " + std::to_string(reads) + (reads == 1 ? " read, " : " reads, ") + std::to_string(bytes) + " bytes";
}

// A frame and its identical successors from `i` on, as the frame once with a repeat count.
std::string RenderRepeatedFrame(const std::vector<Frame>& frames, std::size_t& i) {
    const Frame& first = frames[i];
    std::size_t repeats = 0;
    for (; i < frames.size() && SameFrame(frames[i], first); ++i) ++repeats;
    return RenderCompactFrame(first) + (repeats > 1 ? " x " + std::to_string(repeats) : "");
}

}  // namespace

RecordingBackend::RecordingBackend(std::shared_ptr<platform::DeviceBackend> inner, std::shared_ptr<TransferLog> log)
    : inner_(std::move(inner)), log_(std::move(log)) {}

std::vector<platform::DeviceInfo> RecordingBackend::devices() { return inner_->devices(); }

std::unique_ptr<platform::RawPipe> RecordingBackend::open(const std::string& internalName) {
    std::unique_ptr<platform::RawPipe> pipe = inner_->open(internalName);
    if (!pipe) return nullptr;
    return std::make_unique<RecordingPipe>(std::move(pipe), log_);
}

std::vector<Frame> DecodeFrames(const TransferLog& log, std::size_t fromTransfer) {
    std::vector<Frame> frames;
    bool awaitingAnswer = false;
    for (std::size_t t = fromTransfer; t < log.transfers.size(); ++t) {
        const RecordedTransfer& transfer = log.transfers[t];
        if (!transfer.ok) continue;
        if (!transfer.out) {
            if (awaitingAnswer) frames.back().data = transfer.bytes;
            awaitingAnswer = false;
            continue;
        }
        const std::vector<uint8_t>& b = transfer.bytes;
        for (std::size_t pos = 0; pos + 4 <= b.size();) {
            Frame f;
            f.operation = b[pos];
            f.address = b[pos + 1];
            f.count = static_cast<uint16_t>(b[pos + 2] << 8 | b[pos + 3]);
            pos += 4;
            if (!f.isRead()) {
                const std::size_t end = std::min(b.size(), pos + f.count);
                f.data.assign(b.begin() + static_cast<std::ptrdiff_t>(pos), b.begin() + static_cast<std::ptrdiff_t>(end));
                pos = end;
            }
            awaitingAnswer = f.isRead();
            frames.push_back(std::move(f));
        }
    }
    return frames;
}

std::string RenderFrames(const std::vector<Frame>& frames) {
    std::string out;
    for (std::size_t i = 0; i < frames.size();) {
        out += (IsMemoryWrite(frames[i]) ? RenderMemoryRun(frames, i) : RenderFrame(frames[i++])) + "\n";
    }
    return out;
}

std::string RenderJobFrames(const std::vector<Frame>& frames) {
    std::string out;
    for (std::size_t i = 0; i < frames.size();) {
        if (IsDataRead(frames[i])) {
            out += RenderDataReads(frames, i) + "\n";
        } else if (IsMemoryWrite(frames[i])) {
            out += RenderMemoryRun(frames, i) + "\n";
        } else {
            out += RenderRepeatedFrame(frames, i) + "\n";
        }
    }
    return out;
}

}  // namespace ordavel::test
