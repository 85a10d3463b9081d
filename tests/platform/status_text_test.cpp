// Status texts in the system's encoding (UTF-8 on POSIX, GBK on Windows): whole texts converted,
// and the 255-byte limit of the driver's record applied to the encoded bytes, never cutting a
// character.
#include "platform/status_text.h"

#include <gtest/gtest.h>

#include <string>

namespace ordavel::platform {
namespace {

std::string Repeat(const std::string& piece, int times) {
    std::string out;
    for (int i = 0; i < times; ++i) out += piece;
    return out;
}

struct StatusCase {
    const char* name;
    std::string text;   // as the driver writes it (UTF-8)
    std::size_t limit;
    std::string utf8;   // what a POSIX system stores
    std::string gbk;    // what a Windows system stores
};

const std::string kFailed = "\xE9\x80\x9A\xE4\xBF\xA1\xE5\xA4\xB1\xE8\xB4\xA5";  // 通信失败
const std::string kFailedGbk = "\xCD\xA8\xD0\xC5\xCA\xA7\xB0\xDC";
const std::string kLose = "\xE5\xA4\xB1";  // 失
const std::string kLoseGbk = "\xCA\xA7";

class EncodedStatusText : public ::testing::TestWithParam<StatusCase> {};

TEST_P(EncodedStatusText, StoresWholeCharactersWithinTheLimit) {
    const StatusCase& c = GetParam();
    const std::string stored = EncodeStatusText(c.text, c.limit);
    EXPECT_LE(stored.size(), c.limit);
    EXPECT_EQ(stored, StatusTextEncoding() == "GBK" ? c.gbk : c.utf8);
    // A client matching the driver's texts decodes what was stored back into the driver's own:
    // the text's beginning, whole characters, which encodes again to the same bytes.
    const std::string decoded = DecodeStatusText(stored);
    EXPECT_EQ(c.text.rfind(decoded, 0), 0u) << decoded;
    EXPECT_EQ(EncodeStatusText(decoded, c.limit), stored);
}

// Bytes that are not text of the system's encoding (a stray lead byte) are given back as they are.
TEST(DecodedStatusText, KeepsBytesThatDoNotDecode) {
    const std::string stray = "open \xFF\x81";
    EXPECT_EQ(DecodeStatusText(stray), stray);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, EncodedStatusText,
    ::testing::Values(
        StatusCase{"EnglishUnchanged", "Cannot open Mirt.def", 255, "Cannot open Mirt.def", "Cannot open Mirt.def"},
        StatusCase{"ChineseWhole", kFailed, 255, kFailed, kFailedGbk},
        StatusCase{"MixedWhole", "USB " + kFailed + " (7)", 255, "USB " + kFailed + " (7)",
                   "USB " + kFailedGbk + " (7)"},
        // Seven bytes hold two UTF-8 characters (six bytes) or three GBK ones (six bytes).
        StatusCase{"CutBeforeAPartCharacter", kFailed, 7, kFailed.substr(0, 6), kFailedGbk.substr(0, 6)},
        StatusCase{"CutAfterAscii", "ab" + kLose, 3, "ab", "ab"},
        // The record's limit: 85 three-byte characters fill 255 bytes; 127 two-byte ones 254.
        StatusCase{"LongTextAtTheRecordLimit", Repeat(kLose, 300), 255, Repeat(kLose, 85), Repeat(kLoseGbk, 127)},
        // A text the formatter cut in the middle of a character keeps its whole characters.
        StatusCase{"IncompleteLastCharacterDropped", kLose + kLose.substr(0, 2), 255, kLose, kLoseGbk},
        StatusCase{"Empty", "", 255, "", ""}),
    [](const ::testing::TestParamInfo<StatusCase>& row) { return std::string(row.param.name); });

}  // namespace
}  // namespace ordavel::platform
