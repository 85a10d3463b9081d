// Page images, their bitmap files and their names.
#include <gtest/gtest.h>

#include <filesystem>

#include "client/bitmap_file.h"
#include "client/page_image.h"
#include "client/scan_to_file.h"
#include "tests/support/pimlet_desk.h"
#include "tests/support/scratch_files.h"

namespace mirt::client {
namespace {

struct NameCase {
    const char* name;
    const char* directory;
    uint32_t number;
    const char* expected;
};

class PageNames : public ::testing::TestWithParam<NameCase> {};

TEST_P(PageNames, HaveAtLeastThreeDigitsAndOneSeparator) {
    EXPECT_EQ(PageFileName(GetParam().directory, "inv", GetParam().number), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Numbers, PageNames,
                         ::testing::Values(NameCase{"first", "/scans", 1, "/scans/inv001.bmp"},
                                           NameCase{"nine", "/scans", 9, "/scans/inv009.bmp"},
                                           NameCase{"ten", "/scans", 10, "/scans/inv010.bmp"},
                                           NameCase{"ninetyNine", "/scans", 99, "/scans/inv099.bmp"},
                                           NameCase{"hundred", "/scans", 100, "/scans/inv100.bmp"},
                                           NameCase{"thousand", "/scans", 1000, "/scans/inv1000.bmp"},
                                           NameCase{"trailingSeparator", "/scans/", 10, "/scans/inv010.bmp"}),
                         [](const auto& param) { return std::string(param.param.name); });

ScanParameters BlackAndWhiteNarrow() { return SheetParameters(1, 200, PaperForm::Narrow); }

TEST(BitmapFile, OneBitPageHasTwoPaletteEntriesAndPaddedRowsBottomFirst) {
    // 1100 pixels of 1 bit: 138 bytes, padded to 140 per row.
    auto page = PageImage::Create(BlackAndWhiteNarrow(), 140 * 1892);
    ASSERT_TRUE(page);
    auto pixels = page->pixels();
    pixels[0] = 0xAA;                 // top row as the driver delivers it
    pixels[140 * 1891] = 0x55;        // bottom row
    page->turnUpsideDown();
    ordavel::test::ScratchDir dir("bitmap");
    ASSERT_TRUE(WriteBitmapFile(*page, dir.file("p.bmp")));
    const std::string text = ordavel::test::ReadWholeFile(dir.file("p.bmp"));
    const std::vector<uint8_t> b(text.begin(), text.end());
    using ordavel::test::Le16;
    using ordavel::test::Le32;
    ASSERT_EQ(b.size(), 62u + 140u * 1892u);
    EXPECT_EQ(b[0], 'B');
    EXPECT_EQ(b[1], 'M');
    EXPECT_EQ(Le32(b, 2), b.size());
    EXPECT_EQ(Le32(b, 6), 0u);
    EXPECT_EQ(Le32(b, 10), 62u);
    EXPECT_EQ(Le32(b, 14), 40u);
    EXPECT_EQ(Le32(b, 18), 1100u);
    EXPECT_EQ(Le32(b, 22), 1892u);
    EXPECT_EQ(Le16(b, 26), 1u);
    EXPECT_EQ(Le16(b, 28), 1u);
    EXPECT_EQ(Le32(b, 30), 0u);
    EXPECT_EQ(Le32(b, 34), 140u * 1892u);
    EXPECT_EQ(Le32(b, 46), 2u);
    EXPECT_EQ(Le32(b, 50), 2u);
    EXPECT_EQ(Le32(b, 54), 0u) << "entry 0 black";
    EXPECT_EQ(Le32(b, 58), 0xFFFFFFFFu) << "entry 1 white";
    EXPECT_EQ(b[62], 0x55) << "the bottom row comes first";
    EXPECT_EQ(b[62 + 140 * 1891], 0xAA);
}

TEST(BitmapFile, GreyPaletteIsARamp) {
    auto page = PageImage::Create(SheetParameters(8, 300, PaperForm::Wide), 0);
    ASSERT_TRUE(page) << "an enlarged page takes its size from the request";
    EXPECT_EQ(page->width(), 2130);
    EXPECT_EQ(page->height(), 2838);
    EXPECT_EQ(page->imageSize(), 2132u * 2838u);
    const auto header = page->headerAndPalette();
    ASSERT_EQ(header.size(), 40u + 1024u);
    for (std::size_t i = 0; i < 256; ++i) {
        for (std::size_t k = 0; k < 4; ++k) ASSERT_EQ(header[40 + 4 * i + k], i);
    }
}

TEST(BitmapFile, FailedWriteLeavesNoFileAndSaysSo) {
    auto page = PageImage::Create(BlackAndWhiteNarrow(), 140 * 1892);
    ASSERT_TRUE(page);
    ordavel::test::ScratchDir dir("bitmap-fail");
    EXPECT_FALSE(WriteBitmapFile(*page, dir.file("missing/p.bmp")));
    // A folder standing where the file should go: the page is not written and not counted.
    std::filesystem::create_directory(dir.file("p.bmp"));
    EXPECT_FALSE(WriteBitmapFile(*page, dir.file("p.bmp")));
    for (const auto& entry : std::filesystem::directory_iterator(dir.path())) {
        EXPECT_EQ(entry.path().filename(), "p.bmp") << "no temporary file is left behind";
    }
}

TEST(BitmapFile, DriverFiguresThatMakeNoPageAreRefused) {
    EXPECT_FALSE(PageImage::Create(BlackAndWhiteNarrow(), 0));
    EXPECT_FALSE(PageImage::Create(BlackAndWhiteNarrow(), -5));
    ScanParameters upsideDown = BlackAndWhiteNarrow();
    upsideDown.scanRectBottom = -1;
    EXPECT_FALSE(PageImage::Create(upsideDown, 1000));
    // Less data than the file takes: the block is large enough for the file anyway.
    auto short_ = PageImage::Create(BlackAndWhiteNarrow(), 100);
    ASSERT_TRUE(short_);
    EXPECT_GE(short_->pixels().size(), 140u * 1892u);
}

}  // namespace
}  // namespace mirt::client
