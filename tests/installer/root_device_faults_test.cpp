// A failure injected at each device set-up call of the root-enumerated device install, on the
// real POSIX set-up in a scratch tree: the report names the step, the failure line is logged,
// no device stays registered and no handle stays open.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "installer/log_lines.h"
#include "installer/operations.h"
#include "platform/device_setup_posix.h"
#include "tests/support/scratch_files.h"
#include "tests/support/test_paths.h"

namespace installer::test {
namespace {

namespace ps = ordavel::platform;

// Forwards every call to the real set-up and makes call number `failAt` (counted from 0) fail
// with `code` instead of running it.
class FailingSetup final : public ps::DeviceSetup {
public:
    FailingSetup(ps::DeviceSetup& real, int failAt, uint32_t code) : real_(real), failAt_(failAt), code_(code) {}
    std::vector<std::string> calls;

    uint32_t GetLastError() const override { return injected_ ? code_ : real_.GetLastError(); }
    bool UpdateDriverForPlugAndPlayDevicesA(ps::WindowHandle w, const std::string& id, const std::string& inf,
                                            uint32_t f) override {
        return Call("UpdateDriver") && real_.UpdateDriverForPlugAndPlayDevicesA(w, id, inf, f);
    }
    bool SetupCopyOEMInfA(const std::string& s, const std::string& m, uint32_t t, uint32_t c, std::span<char> d,
                          uint32_t* r) override {
        return Call("CopyOEMInf") && real_.SetupCopyOEMInfA(s, m, t, c, d, r);
    }
    ps::InfHandle SetupOpenInfFileA(const std::string& p, const char* c, uint32_t s, uint32_t* e) override {
        return Call("OpenInfFile") ? real_.SetupOpenInfFileA(p, c, s, e) : ps::kInvalidSetupHandle;
    }
    void SetupCloseInfFile(ps::InfHandle inf) override {
        calls.push_back("CloseInfFile");
        real_.SetupCloseInfFile(inf);
    }
    bool SetupDiGetINFClassA(const std::string& p, ps::Guid& g, std::span<char> n, uint32_t* r) override {
        return Call("GetINFClass") && real_.SetupDiGetINFClassA(p, g, n, r);
    }
    bool SetupDiClassGuidsFromNameA(const std::string& n, std::span<ps::Guid> g, uint32_t* r) override {
        return Call("ClassGuidsFromName") && real_.SetupDiClassGuidsFromNameA(n, g, r);
    }
    bool SetupFindFirstLineA(ps::InfHandle i, const std::string& s, const char* k, ps::InfContext& c) override {
        return Call("FindFirstLine") && real_.SetupFindFirstLineA(i, s, k, c);
    }
    bool SetupFindNextLine(const ps::InfContext& in, ps::InfContext& out) override {
        return Call("FindNextLine") && real_.SetupFindNextLine(in, out);
    }
    uint32_t SetupGetFieldCount(const ps::InfContext& c) override {
        return Call("GetFieldCount") ? real_.SetupGetFieldCount(c) : 0;
    }
    bool SetupGetStringFieldA(const ps::InfContext& c, uint32_t f, std::span<char> b, uint32_t* r) override {
        return Call("GetStringField") && real_.SetupGetStringFieldA(c, f, b, r);
    }
    ps::DeviceInfoSet SetupDiCreateDeviceInfoList(const ps::Guid* g, ps::WindowHandle w) override {
        return Call("CreateDeviceInfoList") ? real_.SetupDiCreateDeviceInfoList(g, w) : ps::kInvalidSetupHandle;
    }
    bool SetupDiCreateDeviceInfoA(ps::DeviceInfoSet s, const std::string& n, const ps::Guid& g, const char* d,
                                  ps::WindowHandle w, uint32_t f, ps::DeviceInfoData* data) override {
        return Call("CreateDeviceInfo") && real_.SetupDiCreateDeviceInfoA(s, n, g, d, w, f, data);
    }
    bool SetupDiSetDeviceRegistryPropertyA(ps::DeviceInfoSet s, ps::DeviceInfoData& d, uint32_t p,
                                           std::span<const uint8_t> v) override {
        return Call("SetDeviceRegistryProperty") && real_.SetupDiSetDeviceRegistryPropertyA(s, d, p, v);
    }
    bool SetupDiCallClassInstaller(ps::DiFunction f, ps::DeviceInfoSet s, ps::DeviceInfoData* d) override {
        return Call(f == ps::DiFunction::RegisterDevice ? "RegisterDevice" : "RemoveDevice") &&
               real_.SetupDiCallClassInstaller(f, s, d);
    }
    ps::DeviceInfoSet SetupDiGetClassDevsA(const ps::Guid* g, const char* e, ps::WindowHandle w, uint32_t f) override {
        return Call("GetClassDevs") ? real_.SetupDiGetClassDevsA(g, e, w, f) : ps::kInvalidSetupHandle;
    }
    bool SetupDiEnumDeviceInfo(ps::DeviceInfoSet s, uint32_t i, ps::DeviceInfoData& d) override {
        return Call("EnumDeviceInfo") && real_.SetupDiEnumDeviceInfo(s, i, d);
    }
    bool SetupDiGetDeviceRegistryPropertyA(ps::DeviceInfoSet s, const ps::DeviceInfoData& d, uint32_t p, uint32_t* t,
                                           std::span<uint8_t> b, uint32_t* r) override {
        return Call("GetDeviceRegistryProperty") && real_.SetupDiGetDeviceRegistryPropertyA(s, d, p, t, b, r);
    }
    bool SetupDiDestroyDeviceInfoList(ps::DeviceInfoSet s) override {
        calls.push_back("DestroyDeviceInfoList");
        return real_.SetupDiDestroyDeviceInfoList(s);
    }
    uint32_t GetPrivateProfileStringA(const std::string& s, const std::string& k, const std::string& d,
                                      std::span<char> b, const std::string& p) override {
        return real_.GetPrivateProfileStringA(s, k, d, b, p);
    }
    std::string GetWindowsDirectoryA() override { return real_.GetWindowsDirectoryA(); }
    std::string GetSystemDirectoryA() override { return real_.GetSystemDirectoryA(); }
    bool DeleteFileA(const std::string& p) override { return real_.DeleteFileA(p); }
    std::vector<std::string> FindFilesA(const std::string& d, const std::string& p) override {
        return real_.FindFilesA(d, p);
    }
    std::optional<std::string> FormatSystemMessage(uint32_t c) override { return real_.FormatSystemMessage(c); }

private:
    // False when this is the call to fail.
    bool Call(const char* name) {
        const bool fail = static_cast<int>(calls.size()) == failAt_;
        calls.push_back(name);
        injected_ = fail;
        return !fail;
    }
    ps::DeviceSetup& real_;
    int failAt_;
    uint32_t code_;
    bool injected_ = false;
};

struct RecordingOutput final : InstallerOutput {
    std::vector<std::string> lines, boxes;
    void logLine(std::string_view line) override { lines.emplace_back(line); }
    void messageBox(std::string_view text) override { boxes.emplace_back(text); }
};

struct RootRun {
    std::vector<std::string> calls, lines, boxes;
    bool succeeded = false;
    std::size_t openHandles = 0;
    std::vector<std::string> devices;
};

RootRun RunRootInstall(int failAt) {
    ordavel::test::ScratchDir dir("root-faults");
    std::filesystem::create_directories(dir.file("bin"));
    dir.copyData("inf/ZEVVCOM.INF", "bin/ZEVVCOM.INF");
    ps::PosixSetupRoots roots{dir.file("win"), dir.file("win/system32"), dir.file("sys"), dir.file("win/devices"),
                              dir.file("rules"), std::string()};
    ps::PosixDeviceSetup real(roots);
    FailingSetup setup(real, failAt, 0xE000020B);
    RecordingOutput output;
    InstallerContext ctx{setup, output, dir.file("bin"), 0};
    RootRun run;
    run.succeeded = InstallRootEnumeratedDevice(ctx);
    run.calls = setup.calls;
    run.lines = output.lines;
    run.boxes = output.boxes;
    run.openHandles = real.openHandles();
    std::error_code ec;
    for (const auto& e : std::filesystem::directory_iterator(dir.file("win/devices"), ec)) {
        run.devices.push_back(e.path().filename().string());
    }
    return run;
}

constexpr const char* kNoSuchDevice = ": ERROR_NO_SUCH_DEVINST\n";
constexpr const char* kLineNotFound = ": ERROR_LINE_NOT_FOUND\n";

// Each call of an unfailed run, and the report its failure gives. A failed read of the models
// section's name sends the search on to the next manufacturer line, which is not there; a failed
// read of the identifier leaves it empty, and the driver update then finds no such device.
struct FaultCase {
    const char* call;
    std::string report;
};
const FaultCase kFaults[] = {
    {"OpenInfFile", std::string("Error E000020B in SetupOpenInfFile") + kNoSuchDevice},
    {"GetINFClass", std::string("Error E000020B in SetupOpenInfFile") + kNoSuchDevice},
    {"FindFirstLine", std::string("Error E000020B in search for specified device") + kNoSuchDevice},
    {"GetStringField", std::string("Error E0000102 in search for specified device") + kLineNotFound},
    {"GetStringField", std::string("Error E0000102 in search for specified device") + kLineNotFound},
    {"FindFirstLine", std::string("Error E0000102 in search for specified device") + kLineNotFound},
    {"GetFieldCount", std::string("Error E000020B in UpdateDriverForPlugAndPlayDevices") + kNoSuchDevice},
    {"GetStringField", std::string("Error E000020B in UpdateDriverForPlugAndPlayDevices") + kNoSuchDevice},
    {"GetStringField", std::string("Error E000020B in UpdateDriverForPlugAndPlayDevices") + kNoSuchDevice},
    {"CreateDeviceInfoList", std::string("Error E000020B in SetupDiCreateDeviceInfoList") + kNoSuchDevice},
    {"CreateDeviceInfo",
     std::string("Error E000020B in SetupDiCreateDeviceInfo or SetupDiSetDeviceRegistryProperty") + kNoSuchDevice},
    {"SetDeviceRegistryProperty",
     std::string("Error E000020B in SetupDiCreateDeviceInfo or SetupDiSetDeviceRegistryProperty") + kNoSuchDevice},
    {"RegisterDevice", std::string("Error E000020B in SetupDiCallClassInstaller(DIF_REGISTERDEVICE)") + kNoSuchDevice},
    {"UpdateDriver", std::string("Error E000020B in UpdateDriverForPlugAndPlayDevices") + kNoSuchDevice},
};

TEST(RootDeviceFaults, UnfailedRunCallsTheStepsInOrderAndClosesEverything) {
    const RootRun run = RunRootInstall(-1);
    EXPECT_TRUE(run.succeeded);
    EXPECT_EQ(run.calls, (std::vector<std::string>{"OpenInfFile", "GetINFClass", "FindFirstLine", "GetStringField",
                                                   "GetStringField", "FindFirstLine", "GetFieldCount",
                                                   "GetStringField", "GetStringField", "CreateDeviceInfoList",
                                                   "CreateDeviceInfo", "SetDeviceRegistryProperty", "RegisterDevice",
                                                   "UpdateDriver", "DestroyDeviceInfoList", "CloseInfFile"}));
    EXPECT_EQ(run.devices, std::vector<std::string>{"ROOT#PORTS#0000.device"});
    EXPECT_EQ(run.openHandles, 0u);
}

class RootDeviceFault : public ::testing::TestWithParam<int> {};

TEST_P(RootDeviceFault, ReportsItsStepAndLeavesNoDeviceOrHandle) {
    const FaultCase& fault = kFaults[GetParam()];
    const RootRun run = RunRootInstall(GetParam());
    ASSERT_GT(run.calls.size(), static_cast<std::size_t>(GetParam()));
    EXPECT_EQ(run.calls[static_cast<std::size_t>(GetParam())], fault.call);
    EXPECT_FALSE(run.succeeded);
    ASSERT_EQ(run.boxes.size(), 1u);
    EXPECT_EQ(run.boxes[0], fault.report);
    ASSERT_FALSE(run.lines.empty());
    EXPECT_EQ(run.lines.back(), log_lines::kRootInstallFailed);
    EXPECT_TRUE(run.devices.empty());
    EXPECT_EQ(run.openHandles, 0u);
    // A device registered before the failure is removed again.
    const bool wasRegistered = GetParam() > 12 || std::string(fault.call) == "GetFieldCount" ||
                               (GetParam() >= 7 && GetParam() <= 8);
    EXPECT_EQ(std::find(run.calls.begin(), run.calls.end(), "RemoveDevice") != run.calls.end(), wasRegistered);
}

INSTANTIATE_TEST_SUITE_P(EachCall, RootDeviceFault, ::testing::Range(0, static_cast<int>(std::size(kFaults))),
                         [](const auto& param) {
                             return "Call" + std::to_string(param.param) + "_" + kFaults[param.param].call;
                         });

}  // namespace
}  // namespace installer::test
