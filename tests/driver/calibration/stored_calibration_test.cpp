// Telling a usable stored calibration from none and from a damaged one, as the tools do.
#include <gtest/gtest.h>

#include <ostream>
#include <string>

#include "driver/calibration/stored_calibration.h"
#include "driver/calibration/work_file_header.h"
#include "tests/support/scratch_files.h"

namespace ordavel::calibration {
namespace {

constexpr int kPixels = 4;

std::string ShadingFile(int pixels) {
    std::string bytes = "v2\n";
    for (int shift = 0; shift < 32; shift += 8) bytes.push_back(static_cast<char>((pixels >> shift) & 0xFF));
    return bytes + std::string(6 * static_cast<std::size_t>(pixels), '\x40');
}

std::string BlackLineFile(int pixels) {
    return FormatWorkFileHeader({pixels, 4, 4, 1, 200, 200}) + std::string(2 * static_cast<std::size_t>(pixels) + 2, '\x04');
}

const char* kKeys = "[GAIN_OFFSET]\nregs[0x3D]=20\nstartpixel=150\n";

struct StoredCase {
    const char* name;
    const char* shading;  // nullptr: absent; "good": well formed; otherwise the file's content
    const char* black;
    const char* settings;
    StoredCalibration expected;
    friend void PrintTo(const StoredCase& c, std::ostream* os) { *os << c.name; }
};

class StoredCalibrationCheck : public ::testing::TestWithParam<StoredCase> {};

TEST_P(StoredCalibrationCheck, TellsUsableMissingAndDamagedApart) {
    test::ScratchDir dir("stored");
    const StoredCase& c = GetParam();
    const auto put = [&](const char* name, const char* content, const std::string& good) {
        if (content != nullptr) dir.write(name, std::string(content) == "good" ? good : std::string(content));
    };
    put("cr.dat", c.shading, ShadingFile(kPixels));
    put("BlackFINE.PXL", c.black, BlackLineFile(kPixels));
    dir.write("Mirt.def", std::string("[SETUP]\nScannerFile=Mirt9832.dsc\n") + c.settings);
    EXPECT_EQ(InspectStoredCalibration(dir.path()), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Sets, StoredCalibrationCheck,
    ::testing::Values(StoredCase{"Complete", "good", "good", kKeys, StoredCalibration::Usable},
                      StoredCase{"NeverCalibrated", nullptr, nullptr, "", StoredCalibration::NotCalibrated},
                      StoredCase{"ShadingFileMissing", nullptr, "good", kKeys, StoredCalibration::Damaged},
                      StoredCase{"EmptyBlackLineFile", "good", "", kKeys, StoredCalibration::Damaged},
                      StoredCase{"BlackLineFileCutInItsHeader", "good", "v2\n4\n0.00\n0\n4\n4\n1\n200\n", kKeys,
                                 StoredCalibration::Damaged},
                      StoredCase{"ShadingFileCutShort", "v2\n\x04\x00\x00\x00\x40\x00", "good", kKeys,
                                 StoredCalibration::Damaged},
                      StoredCase{"GainCodesMissing", "good", "good", "", StoredCalibration::Damaged}),
    [](const auto& param) { return std::string(param.param.name); });

}  // namespace
}  // namespace ordavel::calibration
