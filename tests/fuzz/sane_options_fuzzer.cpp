// Fuzzes the SANE backend's option handling as a frontend drives it: the bytes are a series of
// control_option calls (option index, action, value), some with values of the wrong size or no
// terminator, and after each the backend's promises are checked: values stay within their
// constraints, inactive options refuse, and the window the driver would be asked for lies on
// the bed with an even size of at least the driver's minimum.
#include <sane/sane.h>

#include <cstddef>
#include <cstdio>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "sane/option_set.h"
#include "tests/fuzz/fuzz_input.h"

namespace {

using namespace mirt::sane_backend;
namespace pa = mirt::page_area;

// A broken promise names itself before the fuzzer records the input.
#define Require(promise)                                                         \
    do {                                                                         \
        if (!(promise)) {                                                        \
            std::fprintf(stderr, "broken promise: %s (line %d)\n", #promise, __LINE__); \
            std::abort();                                                        \
        }                                                                        \
    } while (false)

void CheckValue(const OptionSet& options, int index) {
    const SANE_Option_Descriptor* d = options.descriptor(index);
    Require(d != nullptr);
    if (d->type == SANE_TYPE_GROUP || d->type == SANE_TYPE_BUTTON || index == kOptPageLoaded) return;
    // A buffer of the descriptor's size, as the standard gives frontends.
    std::vector<uint8_t> value(static_cast<std::size_t>(d->size) + 1, 0xAA);
    const SANE_Status status = options.get(index, value.data());
    if (!SANE_OPTION_IS_ACTIVE(d->cap)) {
        Require(status == SANE_STATUS_INVAL);
        return;
    }
    Require(status == SANE_STATUS_GOOD);
    Require(value[static_cast<std::size_t>(d->size)] == 0xAA);  // nothing written beyond the size
    if (d->constraint_type == SANE_CONSTRAINT_RANGE) {
        SANE_Word word;
        std::memcpy(&word, value.data(), sizeof word);
        Require(word >= d->constraint.range->min && word <= d->constraint.range->max);
    } else if (d->constraint_type == SANE_CONSTRAINT_STRING_LIST) {
        Require(std::memchr(value.data(), '\0', static_cast<std::size_t>(d->size)) != nullptr);
    }
}

void CheckWindow(const OptionSet& options) {
    const ScanWindow w = options.window();
    Require(w.bed.left >= 0 && w.bed.top >= 0);
    Require(w.bed.right <= pa::kBedPixelsWide && w.bed.bottom <= pa::kBedPixelsLong);
    Require(w.bed.width() >= pa::kMinWindowPixels - 1 && w.bed.height() >= pa::kMinWindowPixels - 1);
    Require(w.bed.width() % 2 == 0 && w.bed.height() % 2 == 0);
    Require(w.resolution == 200 || w.resolution == 300);
    Require(w.bytesPerLine() == (w.lineart ? (w.pixelsPerLine() + 7) / 8 : w.pixelsPerLine()));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    ordavel::fuzz::FuzzInput in(data, size);
    OptionSet options;
    while (!in.empty()) {
        // Indexes a little beyond the list too, and negative ones.
        const int index = static_cast<int>(static_cast<int8_t>(in.byte())) % (kOptionCount + 3);
        const uint8_t action = in.byte() % 3;
        const auto piece = in.bytes(in.byte() % 40);
        std::vector<uint8_t> value(piece.begin(), piece.end());
        const SANE_Option_Descriptor* d = options.descriptor(index);
        if (d == nullptr) {
            Require(index < 0 || index >= kOptionCount);
            Require(options.set(index, value.data(), nullptr) == SANE_STATUS_INVAL);
            continue;
        }
        // The frontend's buffer is at least the option's size, as the standard asks.
        value.resize(std::max<std::size_t>(value.size(), static_cast<std::size_t>(std::max<SANE_Int>(d->size, 4))), 0);
        SANE_Int info = 0;
        if (action == 0) {
            options.get(index, value.data());
        } else if (action == 1) {
            const SANE_Status status = options.set(index, value.data(), &info);
            if (!SANE_OPTION_IS_SETTABLE(d->cap) || !SANE_OPTION_IS_ACTIVE(d->cap)) Require(status == SANE_STATUS_INVAL);
        } else {
            options.setAuto(index, &info);
        }
        for (int i = 0; i < kOptionCount; ++i) CheckValue(options, i);
        CheckWindow(options);
    }
    return 0;
}
