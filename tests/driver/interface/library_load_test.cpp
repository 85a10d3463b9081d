// The built shared library loaded as a client loads it: exported names, record layout,
// defaults, capabilities and the hardware summary of the reference description.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include <dlfcn.h>

#include "ordavel.h"
#include "tests/support/scratch_files.h"
#include "tests/support/test_paths.h"

namespace {

const std::string& LibraryPath() {
    static const std::string path = ordavel::test::BinaryDir() + "/lib/libOrdavel.so";
    return path;
}

// One load per process: the library's constructor reads the temporary directory once, so the
// scratch directory is set up and the driver's state directory (MIRT_STATE_DIR) pointed at it before dlopen.
class LoadedLibrary : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        temp = new ordavel::test::ScratchDir("libload");
        temp->copyData("Mirt.def", "Mirt.def");
        temp->copyData("Mirt9832.dsc", "Mirt9832.dsc");
        const char* old = std::getenv("MIRT_STATE_DIR");
        oldStateDir = old != nullptr ? new std::string(old) : nullptr;
        ::setenv("MIRT_STATE_DIR", temp->path().c_str(), 1);
        threadsBeforeLoad = ThreadCount();
        handle = ::dlopen(LibraryPath().c_str(), RTLD_NOW | RTLD_LOCAL);
        threadsAfterLoad = ThreadCount();
        if (oldStateDir != nullptr) {
            ::setenv("MIRT_STATE_DIR", oldStateDir->c_str(), 1);
        } else {
            ::unsetenv("MIRT_STATE_DIR");
        }
    }
    static void TearDownTestSuite() {
        if (handle != nullptr) ::dlclose(handle);
        delete temp;
        delete oldStateDir;
    }
    void SetUp() override { ASSERT_NE(handle, nullptr) << ::dlerror(); }

    template <typename F>
    F* bind(const char* name) {
        void* symbol = ::dlsym(handle, name);
        EXPECT_NE(symbol, nullptr) << name;
        return reinterpret_cast<F*>(symbol);
    }

    static int ThreadCount() {
        int n = 0;
        for (const auto& entry : std::filesystem::directory_iterator("/proc/self/task")) {
            (void)entry;
            ++n;
        }
        return n;
    }

    static ordavel::test::ScratchDir* temp;
    static std::string* oldStateDir;
    static void* handle;
    static int threadsBeforeLoad;
    static int threadsAfterLoad;
};

ordavel::test::ScratchDir* LoadedLibrary::temp = nullptr;
std::string* LoadedLibrary::oldStateDir = nullptr;
void* LoadedLibrary::handle = nullptr;
int LoadedLibrary::threadsBeforeLoad = 0;
int LoadedLibrary::threadsAfterLoad = 0;

// The USB library runs an event thread once started; loading the driver must not start it (a
// process using a virtual scanner, or never opening a scanner, has no use for it).
TEST_F(LoadedLibrary, LoadingStartsNoThread) { EXPECT_EQ(threadsAfterLoad, threadsBeforeLoad); }

std::set<std::string> DefinedDynamicSymbols(const std::string& path) {
    std::set<std::string> names;
    const std::string command = "nm -D --defined-only '" + path + "'";
    std::unique_ptr<FILE, int (*)(FILE*)> pipe(::popen(command.c_str(), "r"), &::pclose);
    if (!pipe) return names;
    char line[512];
    while (std::fgets(line, sizeof line, pipe.get()) != nullptr) {
        std::istringstream fields(line);
        std::string address, type, name;
        if (fields >> address >> type >> name) names.insert(name);
    }
    return names;
}

TEST(LibraryFile, ExportsExactlyTheElevenFunctions) {
    const std::set<std::string> expected{"ScanStart", "ScanRead", "ScanStop", "ScanSetScanParams",
                                         "ScanGetScanParams", "ScanGetScanInfo", "ScanGetScanHardware",
                                         "ScanGetCapability", "ScanCalibration", "ScanPaperEmpty",
                                         "ScanFeedPaper"};
    EXPECT_EQ(DefinedDynamicSymbols(LibraryPath()), expected);
}

TEST(RecordLayout, SizesAndOffsetsAreTheInterfaces) {
    EXPECT_EQ(sizeof(ScanRequest), 72u);
    EXPECT_EQ(sizeof(ScanInfo), 292u);
    EXPECT_EQ(sizeof(ScanHardware), 336u);
    EXPECT_EQ(offsetof(ScanRequest, bitDepth), 40u);
    EXPECT_EQ(offsetof(ScanRequest, xResolution), 44u);
    EXPECT_EQ(offsetof(ScanRequest, interpolate), 52u);
    EXPECT_EQ(offsetof(ScanRequest, imageWidth), 64u);
    EXPECT_EQ(offsetof(ScanInfo, bytesDone), 4u);
    EXPECT_EQ(offsetof(ScanInfo, statusText), 28u);
    EXPECT_EQ(offsetof(ScanInfo, progressPos), 288u);
    EXPECT_EQ(offsetof(ScanHardware, pixelLength), 4u);
    EXPECT_EQ(offsetof(ScanHardware, resolutions), 272u);
}

TEST_F(LoadedLibrary, DefaultsWithoutSettingsFile) {
    auto* get = bind<int32_t(ScanRequest*)>("ScanGetScanParams");
    ScanRequest r{};
    ASSERT_EQ(get(&r), 0);
    int32_t words[18];
    std::memcpy(words, &r, sizeof words);
    EXPECT_EQ(std::vector<int32_t>(words, words + 18),
              (std::vector<int32_t>{1, 0, 0, 1680, 2340, 0, 0, 1680, 2340, 1, 8, 200, 200, 1, 1, 0, 300, 500}));
}

TEST_F(LoadedLibrary, Capabilities) {
    auto* capability = bind<int32_t(int32_t, const int32_t*, int32_t*, int32_t*)>("ScanGetCapability");
    std::vector<int32_t> out(32768, 0);
    int32_t count = -1;
    int32_t input = 0;
    EXPECT_EQ(capability(0, nullptr, out.data(), &count), 0);
    EXPECT_EQ(count, 2);
    EXPECT_EQ(out[0], 200);
    EXPECT_EQ(out[1], 300);
    EXPECT_EQ(capability(2, nullptr, out.data(), &count), 0);
    EXPECT_EQ(count, 2);
    input = 1;
    EXPECT_EQ(capability(3, &input, out.data(), &count), 0);
    EXPECT_EQ(count, 1);
    EXPECT_EQ(out[0], 8);
    input = 2;
    EXPECT_EQ(capability(3, &input, out.data(), &count), 1);
    EXPECT_EQ(count, 0);
    EXPECT_EQ(capability(4, nullptr, out.data(), &count), 0);
    EXPECT_EQ(out[0], 2520);
    EXPECT_EQ(capability(5, nullptr, out.data(), &count), 0);
    EXPECT_EQ(out[0], 3510);
    EXPECT_EQ(capability(6, nullptr, out.data(), &count), 1);
    EXPECT_EQ(count, 0);
}

TEST_F(LoadedLibrary, HardwareOfReferenceDescription) {
    auto* hardware = bind<int32_t(ScanHardware*)>("ScanGetScanHardware");
    ScanHardware hw{};
    ASSERT_EQ(hardware(&hw), 0);
    EXPECT_EQ(hw.pixelWidth, 1680);
    EXPECT_EQ(hw.pixelLength, 2340);
    EXPECT_EQ(hw.opticalResolution, 200);
    EXPECT_EQ(hw.chip, 1);
    EXPECT_STREQ(hw.deviceName, "Mirt Sheet Scanner");
    const int32_t expected[16] = {16, 25, 33, 50, 66, 100, 133, 200, 0, 0, 0, 0, 0, 0, 0, 0};
    EXPECT_EQ(std::memcmp(hw.resolutions, expected, sizeof expected), 0);
}

TEST_F(LoadedLibrary, ReadWithoutScanAndStatusText) {
    auto* read = bind<int32_t(uint8_t*, int32_t, int32_t*)>("ScanRead");
    auto* info = bind<int32_t(ScanInfo*)>("ScanGetScanInfo");
    auto* setParams = bind<int32_t(const ScanRequest*, ScanStatusCallback)>("ScanSetScanParams");
    std::vector<uint8_t> buffer(65536);
    int32_t got = 77;
    EXPECT_EQ(read(buffer.data(), 65536, &got), 1);
    EXPECT_EQ(got, 77);
    ScanRequest bad{};
    bad.pixelType = 0;
    bad.bitDepth = 8;
    EXPECT_EQ(setParams(&bad, nullptr), 1);
    ScanInfo i{};
    EXPECT_EQ(info(&i), 0);
    EXPECT_LT(std::strlen(i.statusText), 256u);
}

}  // namespace
