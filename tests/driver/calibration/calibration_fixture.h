// Test fixture for calibration: a fresh driver context over a scratch temporary directory with
// the reference targets, and a writer of small raw work files.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "driver/interface/driver_context.h"
#include "platform/clock.h"
#include "tests/support/test_paths.h"

namespace ordavel::calibration::test {

// One raw record: 16-bit samples in the order they lie in the record.
using Record = std::vector<uint16_t>;

class CalibrationTest : public ::testing::Test {
protected:
    CalibrationTest()
        : dir_(ordavel::test::MakeScratchDir("calibration")),
          ctx_(DriverEnvironment{std::make_shared<platform::VirtualClock>(),
                                 std::make_shared<platform::DeviceList>(), dir_, dir_, true}) {
        auto& d = ctx_.description;
        d.Red_Target = d.Green_Target = d.Blue_Target = 0xD000;
        d.Min_Red_Target = d.Min_Green_Target = d.Min_Blue_Target = 0x0400;
        d.startPixel = 150;
        ctx_.calibration.bitsPerSample = 16;
    }
    ~CalibrationTest() override {
        std::error_code ignored;
        std::filesystem::remove_all(dir_, ignored);
    }

    static std::string Header(int32_t pixels, int32_t mode, int32_t lines) {
        return "v2\n" + std::to_string(pixels) + "\n0.00\n0\n" + std::to_string(mode) + "\n4\n" +
               std::to_string(lines) + "\n200\n200\n2\n";
    }

    // Writes `header` and the records (big-endian samples, then the 2 unused bytes) to `name`.
    std::string WriteFile(const std::string& name, const std::string& header, const std::vector<Record>& records,
                          std::size_t cutBytes = 0) {
        std::string bytes = header;
        for (const Record& record : records) {
            for (uint16_t s : record) {
                bytes.push_back(static_cast<char>(s >> 8));
                bytes.push_back(static_cast<char>(s & 0xFF));
            }
            bytes.append("\xAB\xCD", 2);
        }
        bytes.resize(bytes.size() - cutBytes);
        std::string path = ctx_.TempFilePath(name);
        std::ofstream(path, std::ios::binary) << bytes;
        return path;
    }

    // A work file in `mode` with a correct header for the records given.
    std::string WriteWorkFile(int32_t pixels, int32_t mode, const std::vector<Record>& records) {
        ctx_.calibration.colourMode = mode;
        return WriteFile("CAL.PXL", Header(pixels, mode, static_cast<int32_t>(records.size())), records);
    }

    std::string Message() const { return ctx_.record.messageText; }
    int32_t Sum(int colour, int x) const { return ctx_.calibration.sums[colour][static_cast<std::size_t>(x)]; }

    std::string dir_;
    DriverContext ctx_;
};

// A record of `pixels` one-sample pixels, sample x = f(x).
template <typename F>
Record Line(int pixels, F f) {
    Record r;
    for (int x = 0; x < pixels; ++x) r.push_back(static_cast<uint16_t>(f(x)));
    return r;
}

inline Record Flat(int pixels, uint16_t value) {
    return Record(static_cast<std::size_t>(pixels), value);
}

}  // namespace ordavel::calibration::test
