// The INF reader: what a line's fields read as, and the syntax errors it refuses a file with.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/inf_file.h"
#include "platform/setup_errors.h"

namespace ordavel::platform {
namespace {

struct FieldsCase {
    const char* name;
    std::string line;                 // one line of [Models]
    std::vector<std::string> fields;  // field 0 (the key), then the values
};

class InfLineFields : public ::testing::TestWithParam<FieldsCase> {};

TEST_P(InfLineFields, ReadAsTheSetUpReadsThem) {
    const std::string text = "[Strings]\nDesc=\"Port \"\"A\"\"\"\nmfg = QUVE ; brand\n[Models]\n" + GetParam().line + "\n";
    const auto inf = InfFile::Parse(text);
    ASSERT_TRUE(inf);
    const auto* models = inf->section("models");
    ASSERT_NE(models, nullptr);
    ASSERT_EQ(models->lines.size(), 1u);
    std::vector<std::string> fields;
    for (uint32_t i = 0; auto field = InfFile::Field(models->lines[0], i); ++i) fields.push_back(*field);
    EXPECT_EQ(fields, GetParam().fields);
}

INSTANTIATE_TEST_SUITE_P(
    Lines, InfLineFields,
    ::testing::Values(
        FieldsCase{"KeyAndValues", "%Desc%=Sect, USB\\VID_F1D7&PID_0B01 ,X", {"Port \"A\"", "Sect", "USB\\VID_F1D7&PID_0B01", "X"}},
        FieldsCase{"StringKeysIgnoreCase", "%MFG% by %mfg%=S", {"QUVE by QUVE", "S"}},
        FieldsCase{"UnknownStringStays", "%Nobody%=S", {"%Nobody%", "S"}},
        FieldsCase{"PercentPercent", "100%%=S", {"100%", "S"}},
        FieldsCase{"QuotedCommaAndSemicolon", "D=\"a, b; c\",d ; comment", {"D", "a, b; c", "d"}},
        FieldsCase{"QuotedKeepsBlanksAndPercent", "D=\"  %Desc%  \"", {"D", "  %Desc%  "}},
        FieldsCase{"UnbalancedQuoteRunsToTheEnd", "D=\"open, still", {"D", "open, still"}},
        FieldsCase{"NoKeyFieldZeroIsTheFirstValue", "first, second", {"first", "first", "second"}},
        FieldsCase{"EmptyValues", "D=,,", {"D", "", "", ""}},
        FieldsCase{"Continuation", "D=a, \\\n  b", {"D", "a", "b"}}),
    [](const auto& param) { return param.param.name; });

struct SyntaxCase {
    const char* name;
    std::string text;
    uint32_t code;
    uint32_t line;
};

class InfSyntax : public ::testing::TestWithParam<SyntaxCase> {};

TEST_P(InfSyntax, RefusesWithCodeAndLine) {
    uint32_t code = 0, line = 0;
    EXPECT_FALSE(InfFile::Parse(GetParam().text, &code, &line));
    EXPECT_EQ(code, GetParam().code);
    EXPECT_EQ(line, GetParam().line);
}

INSTANTIATE_TEST_SUITE_P(
    Files, InfSyntax,
    ::testing::Values(SyntaxCase{"LineBeforeAnySection", "; c\r\nkey=value\r\n", setup_error::kExpectedSectionName, 2},
                      SyntaxCase{"UnclosedSection", "[Version]\n[Models\n", setup_error::kBadSectionNameLine, 2},
                      SyntaxCase{"LongSectionName", "[" + std::string(256, 's') + "]\n",
                                 setup_error::kSectionNameTooLong, 1}),
    [](const auto& param) { return param.param.name; });

TEST(InfFile, MergesSectionsOfOneNameAndKnowsItsStyle) {
    const auto inf = InfFile::Parse("\xEF\xBB\xBF[version]\r\nSignature=\"$WINDOWS NT$\"\r\n[A]\r\nx=1\r\n[a]\r\ny=2\r\n");
    ASSERT_TRUE(inf);
    EXPECT_TRUE(inf->isWin4Style());
    EXPECT_EQ(inf->section("A")->lines.size(), 2u);
    EXPECT_EQ(inf->value("a", "Y"), "2");
    EXPECT_FALSE(InfFile::Parse("[Version]\nSignature=$Windows 3.1$\n")->isWin4Style());
    EXPECT_TRUE(InfFile::Parse(""));
}

}  // namespace
}  // namespace ordavel::platform
