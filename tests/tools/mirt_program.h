// Running the built mirt program as a user would, against a virtual scanner of the test's own,
// from a scratch folder that holds the driver's temporary directory (calibrated once per suite).
#pragma once

#include "tests/support/command_output.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <sys/wait.h>

#include "platform/profile.h"
#include "tests/support/test_paths.h"

namespace mirt_test {

namespace fs = std::filesystem;

using MirtRun = ordavel::test::CommandOutput;

// Runs mirt in `dir` with MIRT_STATE_DIR = dir/tmp and the given extra environment. The scanner is a
// private one of the mirt process, on virtual time: these tests are about mirt, and stay fast
// and deterministic (the shared device has tests of its own).
inline MirtRun RunMirt(const fs::path& dir, const std::string& arguments, const std::string& environment = "") {
    const std::string mirt = ordavel::test::BinaryDir() + "/bin/mirt";
    const std::string command = "cd '" + dir.string() + "' && env MIRT_STATE_DIR='" + (dir / "tmp").string() +
                                "' MIRT_VIRTUAL_PRIVATE=1 " + environment + " '" + mirt + "' " + arguments;
    return ordavel::test::RunShellCommand(command);
}

inline std::vector<uint8_t> ReadFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

inline uint32_t Le32(const std::vector<uint8_t>& b, std::size_t at) {
    return b[at] | (b[at + 1] << 8) | (b[at + 2] << 16) | (static_cast<uint32_t>(b[at + 3]) << 24);
}

// One calibration for the whole suite (the stored files are copied into each test's folder).
class MirtProgram : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        calibrated_ = new fs::path(ordavel::test::MakeScratchDir("mirt-calibration"));
        calibrationRun_ = new MirtRun(RunMirt(*calibrated_, "calibrate --load-calibration-sheet",
                                          "MIRT_VIRTUAL_SCANNER=" + ordavel::test::DataDir() + "/virtual/reference.ini"));
    }
    static void TearDownTestSuite() {
        std::error_code ec;
        fs::remove_all(*calibrated_, ec);
        delete calibrated_;
        delete calibrationRun_;
    }

    void SetUp() override {
        ASSERT_EQ(calibrationRun_->exitCode, 0) << calibrationRun_->output;
        dir_ = ordavel::test::MakeScratchDir("mirt");
        fs::copy(*calibrated_ / "tmp", dir_ / "tmp", fs::copy_options::recursive);
    }
    void TearDown() override {
        std::error_code ec;
        fs::remove_all(dir_, ec);
    }

    // A virtual scanner of the reference kind with the given sheets and faults.
    std::string Scanner(const std::vector<std::string>& pages, const std::vector<std::vector<std::pair<std::string, std::string>>>& faults = {}) {
        const fs::path config = dir_ / "scanner.ini";
        fs::copy_file(ordavel::test::DataDir() + "/virtual/reference.ini", config, fs::copy_options::overwrite_existing);
        using ordavel::platform::WriteProfileString;
        WriteProfileString(config.string(), "Feeder", "Sheets", std::to_string(pages.size()));
        for (std::size_t i = 0; i < pages.size(); ++i) {
            WriteProfileString(config.string(), "Sheet " + std::to_string(i + 1), "Page", pages[i]);
        }
        WriteProfileString(config.string(), "Faults", "Count", std::to_string(faults.size()));
        for (std::size_t i = 0; i < faults.size(); ++i) {
            for (const auto& [key, value] : faults[i]) {
                WriteProfileString(config.string(), "Fault " + std::to_string(i + 1), key, value);
            }
        }
        return "MIRT_VIRTUAL_SCANNER=" + config.string();
    }

    static inline fs::path* calibrated_ = nullptr;
    static inline MirtRun* calibrationRun_ = nullptr;
    fs::path dir_;
};



}  // namespace mirt_test
