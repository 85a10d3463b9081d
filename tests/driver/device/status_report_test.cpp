// The status-message path: formatting, the 255-byte cut on character boundaries, the callback.
#include "driver/device/status_report.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "driver/interface/driver_context.h"
#include "tests/support/test_context.h"

namespace ordavel::device {
namespace {

int g_calls[2];
int32_t g_answer = 0;
int32_t Callback(int32_t kind) {
    if (kind >= 0 && kind < 2) ++g_calls[kind];
    return g_answer;
}

class StatusReport : public ::testing::Test {
protected:
    void SetUp() override { g_calls[0] = g_calls[1] = 0; g_answer = 0; }
    std::string stored() { return driver.ctx().record.messageText; }
    test::TestContext driver{"report"};
};

TEST_F(StatusReport, FormatsStoresAndCallsKindZero) {
    driver.ctx().record.statusCallback = &Callback;
    EXPECT_FALSE(Report(driver.ctx(), "%s= missing", "Chip"));
    EXPECT_EQ(stored(), "Chip= missing");
    EXPECT_EQ(g_calls[0], 1);
    EXPECT_EQ(g_calls[1], 0);
    g_answer = 1;
    EXPECT_TRUE(Report(driver.ctx(), "x")) << "true exactly when the callback answers nonzero";
}

TEST_F(StatusReport, WithoutCallbackOnlyStores) {
    EXPECT_FALSE(Report(driver.ctx(), "扫描仪准备好"));
    EXPECT_EQ(stored(), "扫描仪准备好");
}

TEST_F(StatusReport, ShorterMessageLeavesNothingOfTheLongerOne) {
    Report(driver.ctx(), "%s", std::string(200, 'a').c_str());
    Report(driver.ctx(), "b");
    EXPECT_EQ(stored(), "b");
    for (std::size_t i = 1; i < sizeof driver.ctx().record.messageText; ++i) {
        ASSERT_EQ(driver.ctx().record.messageText[i], '\0') << i;
    }
}

struct CutCase {
    const char* name;
    std::string text;
    std::size_t storedBytes;
};

class StatusCut : public StatusReport, public ::testing::WithParamInterface<CutCase> {};

TEST_P(StatusCut, KeepsWholeCharactersWithin255Bytes) {
    Report(driver.ctx(), "%s", GetParam().text.c_str());
    EXPECT_EQ(stored().size(), GetParam().storedBytes);
    EXPECT_EQ(stored(), GetParam().text.substr(0, GetParam().storedBytes));
}

std::string Repeat(const std::string& s, int n) {
    std::string out;
    for (int i = 0; i < n; ++i) out += s;
    return out;
}

INSTANTIATE_TEST_SUITE_P(
    Texts, StatusCut,
    ::testing::Values(CutCase{"Ascii300", std::string(300, 'k'), 255},
                      CutCase{"Exactly255", std::string(255, 'k'), 255},
                      CutCase{"ThreeByteCharsFitExactly", Repeat("扫", 100), 255},
                      CutCase{"ThreeByteCharAcrossLimit", "a" + Repeat("扫", 100), 253},
                      CutCase{"TwoByteCharAcrossLimit", Repeat("é", 200), 254},
                      CutCase{"FourByteCharAcrossLimit", "ab" + Repeat("\xF0\x9F\x93\x84", 70), 254},
                      CutCase{"NotUtf8KeepsLimit", std::string(300, '\x80'), 255},
                      CutCase{"LongerThanFormatBuffer", std::string(5000, 'z'), 255}),
    [](const auto& p) { return std::string(p.param.name); });

}  // namespace
}  // namespace ordavel::device
