// The status-message path: the 255-byte limit that never cuts a character in half, the stored
// text, and the callback's answer.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "driver/device/status_report.h"
#include "tests/support/scripted_context.h"

namespace ordavel::test {
namespace {

std::string Repeat(const std::string& text, int times) {
    std::string out;
    for (int i = 0; i < times; ++i) out += text;
    return out;
}

// ASCII prefixes of 0, 1 and 2 bytes shift where the 255-byte limit falls inside the 3-byte
// characters that follow.
class ReportLimitTest : public ::testing::TestWithParam<int> {};

TEST_P(ReportLimitTest, KeepsWholeCharactersWithin255Bytes) {
    ScriptedContext rig;
    const int prefix = GetParam();
    const std::string text = std::string(static_cast<std::size_t>(prefix), 'a') + Repeat("扫", 100);
    device::Report(rig.ctx(), "%s", text.c_str());
    const std::size_t expected = static_cast<std::size_t>(prefix + (255 - prefix) / 3 * 3);
    const char* stored = rig.ctx().record.messageText;
    EXPECT_EQ(std::strlen(stored), expected);
    EXPECT_EQ(std::string(stored), text.substr(0, expected));
}

INSTANTIATE_TEST_SUITE_P(Prefixes, ReportLimitTest, ::testing::Values(0, 1, 2));

TEST(Report, StoresUpTo255AsciiBytesAndClearsTheRest) {
    ScriptedContext rig;
    char* stored = rig.ctx().record.messageText;
    device::Report(rig.ctx(), "%s", std::string(300, 'x').c_str());
    EXPECT_EQ(std::string(stored), std::string(255, 'x'));
    device::Report(rig.ctx(), "Read Register failed! %02X", 7);
    EXPECT_STREQ(stored, "Read Register failed! 07");
    for (std::size_t i = std::strlen(stored); i < 256; ++i) ASSERT_EQ(stored[i], 0) << "byte " << i;
}

// The callback is a plain function, so the tests observe it through these.
int32_t g_answer = 0;
int g_calls = 0;
int32_t g_kind = -1;
int32_t Callback(int32_t kind) {
    ++g_calls;
    g_kind = kind;
    return g_answer;
}

class ReportAnswerTest : public ::testing::TestWithParam<std::pair<int32_t, bool>> {};

TEST_P(ReportAnswerTest, TrueExactlyWhenTheCallbackAnswersNonzero) {
    ScriptedContext rig;
    rig.ctx().record.statusCallback = Callback;
    g_answer = GetParam().first;
    g_calls = 0;
    EXPECT_EQ(device::Report(rig.ctx(), "塞纸"), GetParam().second);
    EXPECT_EQ(g_calls, 1);
    EXPECT_EQ(g_kind, 0);
    EXPECT_STREQ(rig.ctx().record.messageText, "塞纸");
}

INSTANTIATE_TEST_SUITE_P(Answers, ReportAnswerTest,
                         ::testing::Values(std::pair<int32_t, bool>{0, false}, std::pair<int32_t, bool>{1, true},
                                           std::pair<int32_t, bool>{-1, true}, std::pair<int32_t, bool>{2, true}));

TEST(Report, WithoutCallbackStoresTheTextAndReturnsFalse) {
    ScriptedContext rig;
    EXPECT_FALSE(device::Report(rig.ctx(), "扫描下一张"));
    EXPECT_STREQ(rig.ctx().record.messageText, "扫描下一张");
}

}  // namespace
}  // namespace ordavel::test
