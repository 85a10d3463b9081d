// The 3/2 enlargement of finished output lines: every two source lines become three and every
// two source pixels three, for scans delivered at 3/2 of their resolution.
//
// Decided here: a call that follows a call with an odd line count which did not end the page
// (the session never makes one) writes the line kept by that call first and then enlarges its
// own lines by the usual pattern, counting them from 0 again; only the target height limits it.
#include "driver/engine/enlargement.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace ordavel::engine {

namespace {

constexpr int32_t kGrey = 1;
constexpr int32_t kBlackWhite = 0;

int32_t OutputLineBytes(const EnlargementRequest& r) {
    if (r.pixelType == kGrey) return (r.targetWidth + 3) / 4 * 4;
    return ((r.targetWidth + 7) / 8 + 3) / 4 * 4;
}

// Grey: pixels 0, 1 -> 0, 0, 1 across the window's pixels; the rest of the line is cleared.
void WidenGrey(const uint8_t* in, int32_t inBytes, const EnlargementRequest& r, uint8_t* out,
               int32_t outBytes) {
    const int32_t pixels = std::clamp(r.windowWidth, 0, inBytes);
    // Whole pairs that fit the output line go three bytes at a time.
    const int32_t pairs = std::min(pixels / 2, outBytes / 3);
    for (int32_t m = 0; m < pairs; ++m) {
        const uint8_t even = in[2 * m];
        out[3 * m] = even;
        out[3 * m + 1] = even;
        out[3 * m + 2] = in[2 * m + 1];
    }
    int32_t o = 3 * pairs;
    for (int32_t i = 2 * pairs; i < pixels && o < outBytes; ++i) {
        out[o++] = in[i];
        if ((i & 1) == 0 && o < outBytes) out[o++] = in[i];
    }
    std::fill(out + o, out + outBytes, uint8_t{0});
}

// Black and white: 16 pixels b0..b15 of two bytes become the 24 pixels
// b0 b0 b1 b2 b2 b3 b4 b4 | b5 b6 b6 b7 b8 b8 b9 b10 | b10 b11 b12 b12 b13 b14 b14 b15.
void WidenPair(uint8_t hi, uint8_t lo, uint8_t out[3]) {
    const uint32_t in = (uint32_t{hi} << 8) | lo;
    uint32_t wide = 0;
    int32_t placed = 0;
    for (int32_t i = 0; i < 16; ++i) {
        const uint32_t bit = (in >> (15 - i)) & 1;
        const int32_t copies = (i & 1) == 0 ? 2 : 1;
        for (int32_t c = 0; c < copies; ++c) wide |= bit << (23 - placed++);
    }
    out[0] = static_cast<uint8_t>(wide >> 16);
    out[1] = static_cast<uint8_t>(wide >> 8);
    out[2] = static_cast<uint8_t>(wide);
}

// Widens every byte holding a pixel of the window, including a last partial byte, so that no
// window pixel is lost at the right edge; a lone last byte is widened with an empty partner.
// The rest of the line is cleared.
void WidenBlackWhite(const uint8_t* in, int32_t inBytes, const EnlargementRequest& r, uint8_t* out,
                     int32_t outBytes) {
    const int32_t bytes = std::clamp((r.windowWidth + 7) / 8, 0, inBytes);
    int32_t o = 0;
    for (int32_t b = 0; b < bytes && o < outBytes; b += 2) {
        uint8_t wide[3];
        WidenPair(in[b], b + 1 < bytes ? in[b + 1] : uint8_t{0}, wide);
        const int32_t count = b + 1 < bytes ? 3 : 2;  // a lone byte's 8 pixels fill 12 bits
        for (int32_t i = 0; i < count && o < outBytes; ++i) out[o++] = wide[i];
    }
    std::fill(out + o, out + outBytes, uint8_t{0});
}

// Writes whole output lines into the caller's buffer and counts them against the target height.
// A line that would not fit the buffer is not written: the writer marks itself overflowed.
class LineWriter {
public:
    LineWriter(std::span<uint8_t> destination, int32_t lineBytes, const EnlargementRequest& r, EnlargementCarry& carry)
        : destination_(destination), lineBytes_(lineBytes), request_(r), carry_(carry) {}

    bool Full() const { return carry_.enlargedLines >= request_.targetHeight; }
    bool Overflowed() const { return overflowed_; }
    // Room for one more line; marks the overflow when there is none.
    bool Room() {
        const auto end = static_cast<std::size_t>(written_ + 1) * static_cast<std::size_t>(lineBytes_);
        if (end > destination_.size()) overflowed_ = true;
        return !overflowed_;
    }
    uint8_t* Next() { return destination_.data() + static_cast<std::ptrdiff_t>(written_) * lineBytes_; }
    const uint8_t* Last() const { return destination_.data() + static_cast<std::ptrdiff_t>(written_ - 1) * lineBytes_; }
    void Count() {
        ++written_;
        ++carry_.enlargedLines;
    }
    void Repeat() {
        if (!Room()) return;
        std::memmove(Next(), Last(), static_cast<std::size_t>(lineBytes_));
        Count();
    }
    int32_t Written() const { return written_; }

private:
    std::span<uint8_t> destination_;
    int32_t lineBytes_;
    const EnlargementRequest& request_;
    EnlargementCarry& carry_;
    int32_t written_ = 0;
    bool overflowed_ = false;
};

}  // namespace

EnlargeResult EnlargeThreeHalves(std::span<uint8_t> destination, int32_t& bytes, bool lastCall,
                                 const EnlargementRequest& request, EnlargementCarry& carry) {
    const int32_t n = request.inputLineBytes;
    const int32_t stored = bytes;
    bytes = 0;
    if ((request.pixelType != kGrey && request.pixelType != kBlackWhite) || n <= 0 || stored < 0 ||
        static_cast<std::size_t>(stored) > destination.size()) {
        return EnlargeResult::Unsupported;
    }
    const int32_t f = OutputLineBytes(request);
    const int32_t count = stored / n;
    try {
        carry.scratch.assign(destination.begin(), destination.begin() + static_cast<std::ptrdiff_t>(count) * n);
    } catch (const std::bad_alloc&) {
        return EnlargeResult::OutOfMemory;
    }

    LineWriter writer(destination, f, request, carry);
    if (carry.pending && static_cast<int32_t>(carry.pendingLine.size()) == f && !writer.Full() && writer.Room()) {
        std::memcpy(writer.Next(), carry.pendingLine.data(), static_cast<std::size_t>(f));
        writer.Count();
    }
    carry.pending = false;

    for (int32_t i = 0; i < count && !writer.Full() && writer.Room(); ++i) {
        const uint8_t* in = carry.scratch.data() + static_cast<std::ptrdiff_t>(i) * n;
        if (request.pixelType == kGrey) {
            WidenGrey(in, n, request, writer.Next(), f);
        } else {
            WidenBlackWhite(in, n, request, writer.Next(), f);
        }
        writer.Count();
        if (writer.Full()) break;
        const bool lastOfCall = i == count - 1;
        if ((i & 1) == 0 && !(request.pixelType == kBlackWhite && lastOfCall)) writer.Repeat();
    }
    if (writer.Overflowed()) {
        // Lines were left out: the page would come out shifted. Nothing is claimed or kept.
        carry.enlargedLines = 0;
        return EnlargeResult::NoRoom;
    }

    if (lastCall) {
        carry.enlargedLines = 0;  // the page ends; a kept line would be dropped by the session
    } else if ((count & 1) != 0 && writer.Written() > 0 && !writer.Full()) {
        carry.pendingLine.assign(writer.Last(), writer.Last() + f);
        carry.pending = true;
    }
    bytes = f * writer.Written();
    return EnlargeResult::Enlarged;
}

}  // namespace ordavel::engine
