// The backend's options on their own: setting an option to the value it has changes no option
// (setting the mode once overwrote the source with the mode's text, longer than the source's
// buffer), and every option reads back within its constraint.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "sane/option_set.h"

namespace {

using namespace mirt::sane_backend;

std::vector<uint8_t> Value(const OptionSet& options, int index) {
    const SANE_Option_Descriptor* d = options.descriptor(index);
    std::vector<uint8_t> value(static_cast<std::size_t>(d->size), 0);
    if (options.get(index, value.data()) != SANE_STATUS_GOOD) value.clear();
    return value;
}

std::vector<std::vector<uint8_t>> AllValues(const OptionSet& options) {
    std::vector<std::vector<uint8_t>> values;
    for (int i = 0; i < kOptionCount; ++i) values.push_back(Value(options, i));
    return values;
}

TEST(SaneOptions, SettingAnOptionToItsOwnValueChangesNoOption) {
    for (const char* mode : {"Gray", "Lineart"}) {
        OptionSet options;
        char asked[16] = {};
        std::strcpy(asked, mode);
        ASSERT_EQ(options.set(kOptMode, asked, nullptr), SANE_STATUS_GOOD);
        const auto before = AllValues(options);
        for (int i = 0; i < kOptionCount; ++i) {
            const SANE_Option_Descriptor* d = options.descriptor(i);
            if (d->type == SANE_TYPE_GROUP || d->type == SANE_TYPE_BUTTON || !SANE_OPTION_IS_SETTABLE(d->cap) ||
                !SANE_OPTION_IS_ACTIVE(d->cap)) {
                continue;
            }
            std::vector<uint8_t> value = Value(options, i);
            SANE_Int info = 0;
            ASSERT_EQ(options.set(i, value.data(), &info), SANE_STATUS_GOOD) << d->name;
            EXPECT_EQ(info & SANE_INFO_INEXACT, 0) << d->name;
            EXPECT_EQ(AllValues(options), before) << "setting " << d->name << " to its value in " << mode;
        }
    }
}

}  // namespace

namespace {

// A value the backend cannot take as asked is stored as the nearest it can, handed back in the
// caller's buffer with SANE_INFO_INEXACT.
struct InexactCase {
    const char* name;
    int option;
    SANE_Word asked;
    SANE_Word taken;
};

class SaneInexactOptions : public ::testing::TestWithParam<InexactCase> {};

TEST_P(SaneInexactOptions, HandBackTheValueTaken) {
    OptionSet options;
    SANE_Word value = GetParam().asked;
    SANE_Int info = 0;
    ASSERT_EQ(options.set(GetParam().option, &value, &info), SANE_STATUS_GOOD);
    EXPECT_NE(info & SANE_INFO_INEXACT, 0);
    EXPECT_EQ(value, GetParam().taken);
    SANE_Word stored = 0;
    ASSERT_EQ(options.get(GetParam().option, &stored), SANE_STATUS_GOOD);
    EXPECT_EQ(stored, GetParam().taken);
}

INSTANTIATE_TEST_SUITE_P(Values, SaneInexactOptions,
                         ::testing::Values(InexactCase{"ResolutionRoundsUp", kOptResolution, 250, 300},
                                           InexactCase{"ResolutionRoundsDown", kOptResolution, 249, 200},
                                           InexactCase{"BrightnessClampsHigh", kOptBrightness, 300, 255},
                                           InexactCase{"ContrastClampsLow", kOptContrast, -999, -255},
                                           InexactCase{"AreaClampsToTheBed", kOptBrX, SANE_FIX(500.0),
                                                       SANE_FIX(mirt::page_area::kBedWidthMm)}),
                         [](const auto& row) { return std::string(row.param.name); });

}  // namespace
