// Consistency of the key table the parser walks: one row per key and chip, well-formed limits.
#include "driver/description/key_table.h"

#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>

#include "driver/description/description_loader.h"
#include "driver/description/key_rows.h"

namespace ordavel::description {
namespace {

TEST(KeyTable, EveryKeyAppearsOncePerChip) {
    for (int32_t chip = 0; chip < 3; ++chip) {
        std::set<std::string> seen;
        for (const KeyRow& row : kKeyTable) {
            if (!RowAppliesToChip(row, chip)) continue;
            EXPECT_TRUE(seen.insert(row.key).second) << row.key << " twice for chip " << chip;
        }
        EXPECT_EQ(seen.size(), chip == 0 ? 139u : 143u) << "chip " << chip;
    }
}

TEST(KeyTable, RangeLimitsParseAndAreOrdered) {
    for (const KeyRow& row : kKeyTable) {
        if (row.kind == KeyKind::IntRange) {
            int32_t low = 0, high = 0;
            ASSERT_TRUE(ParseIntValue(row.words[0], low)) << row.key;
            ASSERT_TRUE(ParseIntValue(row.words[1], high)) << row.key;
            EXPECT_LE(low, high) << row.key;
            EXPECT_EQ(row.words[2], nullptr) << row.key;
        } else if (row.kind == KeyKind::FloatRange) {
            double low = 0, high = 0;
            ASSERT_TRUE(ParseFloatValue(row.words[0], low)) << row.key;
            ASSERT_TRUE(ParseFloatValue(row.words[1], high)) << row.key;
            EXPECT_LE(low, high) << row.key;
        }
    }
}

TEST(KeyTable, ChoiceRowsHaveWordsAndTextRowsNone) {
    for (const KeyRow& row : kKeyTable) {
        if (row.kind == KeyKind::Choice || row.kind == KeyKind::IntChoice) {
            EXPECT_NE(row.words[0], nullptr) << row.key;
        }
        if (row.kind == KeyKind::Text) {
            EXPECT_EQ(row.words[0], nullptr) << row.key;
        }
    }
}

TEST(KeyTable, ChipRowIsFirstAndAppliesToAllChips) {
    EXPECT_STREQ(kKeyTable[0].key, "Chip");
    EXPECT_EQ(kKeyTable[0].chips, kAllChips);
}

TEST(KeyTable, ChipMaskGating) {
    KeyRow row = kKeyTable[0];
    row.chips = kLM9832And9833;
    EXPECT_FALSE(RowAppliesToChip(row, 0));
    EXPECT_TRUE(RowAppliesToChip(row, 1));
    EXPECT_TRUE(RowAppliesToChip(row, 2));
    row.chips = kLM9831Only;
    EXPECT_TRUE(RowAppliesToChip(row, 0));
    EXPECT_FALSE(RowAppliesToChip(row, 1));
    EXPECT_FALSE(RowAppliesToChip(row, -1));
    EXPECT_FALSE(RowAppliesToChip(row, 99));
}

}  // namespace
}  // namespace ordavel::description
