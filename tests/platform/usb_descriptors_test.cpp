// Decoding a device's string descriptors: the language table and the strings in each language.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "platform/usb_descriptors.h"

namespace ordavel::platform {
namespace {

struct LanguageCase {
    const char* name;
    std::vector<uint8_t> descriptor;
    std::vector<uint16_t> languages;
};

class LanguageTable : public ::testing::TestWithParam<LanguageCase> {};

TEST_P(LanguageTable, ListsTheDevicesLanguagesInItsOrder) {
    EXPECT_EQ(ParseLanguageTable(GetParam().descriptor), GetParam().languages);
}

INSTANTIATE_TEST_SUITE_P(
    Tables, LanguageTable,
    ::testing::Values(
        LanguageCase{"EnglishOnly", {4, 3, 0x09, 0x04}, {0x0409}},
        LanguageCase{"ChineseThenEnglish", {6, 3, 0x04, 0x08, 0x09, 0x04}, {0x0804, 0x0409}},
        LanguageCase{"BytesPastLengthIgnored", {4, 3, 0x07, 0x04, 0x09, 0x04}, {0x0407}},
        LanguageCase{"LengthPastBytesCut", {10, 3, 0x07, 0x04}, {0x0407}},
        LanguageCase{"OddTrailingByteIgnored", {5, 3, 0x07, 0x04, 0x09}, {0x0407}},
        LanguageCase{"ZeroAndRepeatedIdsDropped", {8, 3, 0, 0, 0x09, 0x04, 0x09, 0x04}, {0x0409}},
        LanguageCase{"OtherDescriptorType", {4, 2, 0x09, 0x04}, {}},
        LanguageCase{"HeaderOnly", {2, 3}, {}},
        LanguageCase{"LengthBelowHeader", {1, 3, 0x09, 0x04}, {}},
        LanguageCase{"Empty", {}, {}}),
    [](const auto& p) { return std::string(p.param.name); });

struct StringCase {
    const char* name;
    std::vector<uint8_t> descriptor;
    std::optional<std::u16string> text;
};

class StringDescriptor : public ::testing::TestWithParam<StringCase> {};

TEST_P(StringDescriptor, DecodesUtf16LittleEndianWithinItsLength) {
    EXPECT_EQ(DecodeStringDescriptor(GetParam().descriptor), GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(
    Strings, StringDescriptor,
    ::testing::Values(StringCase{"Ascii", {8, 3, 'M', 0, 'i', 0, 'r', 0}, u"Mir"},
                      StringCase{"Cjk", {6, 3, 0x2B, 0x62, 0xCF, 0x63}, u"\u622B\u63CF"},
                      StringCase{"CutAtLength", {4, 3, 'A', 0, 'B', 0}, u"A"},
                      StringCase{"EmptyString", {2, 3}, u""},
                      StringCase{"WrongType", {4, 1, 'A', 0}, std::nullopt},
                      StringCase{"TooShort", {3}, std::nullopt},
                      StringCase{"ZeroLength", {0, 3, 'A', 0}, std::nullopt}),
    [](const auto& p) { return std::string(p.param.name); });

TEST(UsbNames, EachDistinctPairOfNamesIsKeptOnceInFirstSeenOrder) {
    std::vector<UsbNames> found;
    AddDistinctNames(found, {u"Maker", u"Scanner"});
    AddDistinctNames(found, {u"", u""});
    AddDistinctNames(found, {u"Maker", u"Scanner"});
    AddDistinctNames(found, {u"\u5236\u9020", u"Scanner"});
    EXPECT_EQ(found, (std::vector<UsbNames>{{u"Maker", u"Scanner"}, {u"\u5236\u9020", u"Scanner"}}));
}

}  // namespace
}  // namespace ordavel::platform
