// The description's value syntax: integers, floats, comment stripping and first words.
#include "driver/description/value_syntax.h"

#include <gtest/gtest.h>

#include <optional>

#include "driver/description/description_loader.h"

namespace ordavel::description {
namespace {

struct IntCase {
    const char* text;
    std::optional<int32_t> expected;  // nullopt: invalid
};

class IntSyntax : public ::testing::TestWithParam<IntCase> {};

TEST_P(IntSyntax, AcceptsExactlyOneNumber) {
    int32_t value = 12345;
    const bool ok = ParseIntValue(GetParam().text, value);
    EXPECT_EQ(ok, GetParam().expected.has_value()) << GetParam().text;
    if (ok && GetParam().expected) {
        EXPECT_EQ(value, *GetParam().expected) << GetParam().text;
    }
    if (!ok) {
        EXPECT_EQ(value, 12345) << "a refused value must not be stored";
    }
}

INSTANTIATE_TEST_SUITE_P(
    Values, IntSyntax,
    ::testing::Values(IntCase{"12", 12}, IntCase{"-7", -7}, IntCase{"+7", 7}, IntCase{"0", 0},
                      IntCase{"0x8000", 32768}, IntCase{"0X8000", 32768}, IntCase{"0xffff", 65535},
                      IntCase{"0xFFFFFFFF", -1}, IntCase{"0x80000000", INT32_MIN},
                      IntCase{"0x00000000ffff", 65535}, IntCase{"0x2DC6C00", 48000000},
                      IntCase{"12 ", 12}, IntCase{"12\t \t", 12}, IntCase{"  12", 12},
                      IntCase{"2147483647", INT32_MAX}, IntCase{"-2147483648", INT32_MIN},
                      IntCase{"2147483648", std::nullopt}, IntCase{"99999999999999999999", std::nullopt},
                      IntCase{"0x100000000", std::nullopt}, IntCase{"12abc", std::nullopt},
                      IntCase{"12 13", std::nullopt}, IntCase{"abc", std::nullopt}, IntCase{"", std::nullopt},
                      IntCase{"-", std::nullopt}, IntCase{"0x", std::nullopt}, IntCase{"0xg", std::nullopt},
                      IntCase{"0x80 00", std::nullopt}, IntCase{"-0x10", std::nullopt},
                      IntCase{" 0x10", std::nullopt}, IntCase{"1.5", std::nullopt}, IntCase{"0x1p", std::nullopt}));

struct FloatCase {
    const char* text;
    std::optional<double> expected;
};

class FloatSyntax : public ::testing::TestWithParam<FloatCase> {};

TEST_P(FloatSyntax, AcceptsTheUsualCForm) {
    double value = -99.0;
    const bool ok = ParseFloatValue(GetParam().text, value);
    EXPECT_EQ(ok, GetParam().expected.has_value()) << GetParam().text;
    if (ok && GetParam().expected) {
        EXPECT_DOUBLE_EQ(value, *GetParam().expected) << GetParam().text;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Values, FloatSyntax,
    ::testing::Values(FloatCase{"3.0", 3.0}, FloatCase{".001", 0.001}, FloatCase{"1.", 1.0},
                      FloatCase{"10", 10.0}, FloatCase{"-1000", -1000.0}, FloatCase{"+2.5", 2.5},
                      FloatCase{"1e3", 1000.0}, FloatCase{"1.5E-2", 0.015}, FloatCase{"11.7  ", 11.7},
                      FloatCase{" 4", 4.0}, FloatCase{"1e", std::nullopt}, FloatCase{".", std::nullopt},
                      FloatCase{"", std::nullopt}, FloatCase{"abc", std::nullopt},
                      FloatCase{"1.0x", std::nullopt}, FloatCase{"1 2", std::nullopt},
                      FloatCase{"nan", std::nullopt}, FloatCase{"inf", std::nullopt},
                      FloatCase{"0x10", std::nullopt}, FloatCase{"1e999", std::nullopt},
                      FloatCase{"1,5", std::nullopt}));

TEST(ValueSyntax, NullTextIsInvalid) {
    int32_t i = 0;
    double d = 0;
    EXPECT_FALSE(ParseIntValue(nullptr, i));
    EXPECT_FALSE(ParseFloatValue(nullptr, d));
}

struct CleanCase {
    const char* raw;
    const char* cleaned;
    const char* firstWord;
};

class CleanValues : public ::testing::TestWithParam<CleanCase> {};

TEST_P(CleanValues, StripCommentAndTrailingBlanks) {
    const std::string cleaned = CleanValue(GetParam().raw);
    EXPECT_EQ(cleaned, GetParam().cleaned);
    EXPECT_EQ(FirstWord(cleaned), GetParam().firstWord);
}

INSTANTIATE_TEST_SUITE_P(
    Values, CleanValues,
    ::testing::Values(CleanCase{"LM9832", "LM9832", "LM9832"},
                      CleanCase{"lm9833   // chip", "lm9833", "lm9833"},
                      CleanCase{"// only a comment", "", ""}, CleanCase{"a/b // c", "a/b", "a/b"},
                      CleanCase{"a / / b", "a / / b", "a"}, CleanCase{"Mirt Sheet Scanner\t \t", "Mirt Sheet Scanner", "Mirt"},
                      CleanCase{"x//y//z", "x", "x"}, CleanCase{"0x80 00", "0x80 00", "0x80"},
                      CleanCase{"", "", ""}));

}  // namespace
}  // namespace ordavel::description
