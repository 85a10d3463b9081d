// The built library as applications load it: its exported names, its records, and the
// paper-loaded query read from the key store.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <set>
#include <sstream>

#include <dlfcn.h>

#include "pimlet.h"
#include "tests/support/pimlet_desk.h"
#include "tests/support/test_paths.h"

namespace ordavel::test {
namespace {

const std::string& LibraryPath() {
    static const std::string path = BinaryDir() + "/lib/libPimlet.so";
    return path;
}

std::set<std::string> DefinedDynamicSymbols(const std::string& path) {
    std::set<std::string> names;
    std::unique_ptr<FILE, int (*)(FILE*)> pipe(::popen(("nm -D --defined-only '" + path + "'").c_str(), "r"), &::pclose);
    char line[512];
    while (pipe && std::fgets(line, sizeof line, pipe.get()) != nullptr) {
        std::istringstream fields(line);
        std::string address, type, name;
        if (fields >> address >> type >> name) names.insert(name);
    }
    return names;
}

TEST(PimletLibrary, ExportsExactlyItsTwoFunctionsAndItsRecordsHaveTheirLayout) {
    EXPECT_EQ(DefinedDynamicSymbols(LibraryPath()), (std::set<std::string>{"ScanToFile", "GetPaperLoaded"}));
    EXPECT_EQ(sizeof(PimletAdjustments), 20u);
    EXPECT_EQ(offsetof(PimletAdjustments, gamma), 16u);
    EXPECT_EQ(sizeof(PimletScanRequest), 12u);
    EXPECT_EQ(offsetof(PimletScanRequest, paperForm), 8u);
}

// The library loaded into this process; the key store's root is read at every call.
class PaperLoadedQuery : public ::testing::Test {
protected:
    void SetUp() override {
        handle_ = ::dlopen(LibraryPath().c_str(), RTLD_NOW | RTLD_LOCAL);
        ASSERT_NE(handle_, nullptr) << ::dlerror();
        query_ = reinterpret_cast<int (*)()>(::dlsym(handle_, "GetPaperLoaded"));
        scan_ = reinterpret_cast<decltype(&::ScanToFile)>(::dlsym(handle_, "ScanToFile"));
        ASSERT_NE(query_, nullptr);
        ASSERT_NE(scan_, nullptr);
        ::setenv("MIRT_REGISTRY", desk_.registry().c_str(), 1);
    }
    void TearDown() override {
        ::unsetenv("MIRT_REGISTRY");
        if (handle_ != nullptr) ::dlclose(handle_);
    }

    PimletDesk desk_{"paper-query"};
    void* handle_ = nullptr;
    int (*query_)() = nullptr;
    decltype(&::ScanToFile) scan_ = nullptr;
};

TEST_F(PaperLoadedQuery, PendingFeedFailureWinsWhateverThePaperSays) {
    desk_.setValue("bScanStart", 32);
    desk_.setValue("bPaperLoaded", 1);
    EXPECT_EQ(query_(), 2);
}

TEST_F(PaperLoadedQuery, MissingPaperAnswerGivesTheScanFlagsValue) {
    desk_.setValue("bScanStart", 1);
    EXPECT_EQ(query_(), 1);
    desk_.setValue("bScanStart", 0);
    EXPECT_EQ(query_(), 0);
}

TEST_F(PaperLoadedQuery, PaperAnswersAreReturnedAsWritten) {
    for (uint32_t answer : {0u, 1u, 3u, 4u}) {
        desk_.setValue("bPaperLoaded", answer);
        EXPECT_EQ(query_(), static_cast<int>(answer));
    }
}

TEST_F(PaperLoadedQuery, ValuesOfTheWrongSizeAreNotRead) {
    // The type is not looked at; the size is: a short value cannot leave half an old value.
    desk_.setValue("bScanStart", 1);
    desk_.setRawValue("bPaperLoaded", 1 /* a string */, std::string("\x03\x00\x00\x00", 4));
    EXPECT_EQ(query_(), 3);
    desk_.setRawValue("bPaperLoaded", 4, std::string("\x03", 1));
    EXPECT_EQ(query_(), 1) << "the flag's value stands";
    desk_.setRawValue("bPaperLoaded", 4, std::string(8, '\x01'));
    EXPECT_EQ(query_(), 1);
    desk_.setRawValue("bScanStart", 4, "");
    EXPECT_EQ(query_(), 0);
}

TEST_F(PaperLoadedQuery, StoreThatCannotHoldTheKeyAnswersZero) {
    std::filesystem::create_directories(desk_.registry() + "/HKEY_CURRENT_USER");
    std::ofstream(desk_.registry() + "/HKEY_CURRENT_USER/SOFTWARE") << "a file, not a key";
    EXPECT_EQ(query_(), 0);
}

TEST_F(PaperLoadedQuery, NullArgumentsAreOutOfRange) {
    PimletAdjustments adjust{0, 0, 0, 0, 10};
    PimletScanRequest request{8, 200, 1};
    uint32_t pages = 99;
    EXPECT_EQ(scan_(nullptr, &request, desk_.out().c_str(), "p", &pages, 0), PIMLET_BAD_ARGUMENT);
    EXPECT_EQ(scan_(&adjust, nullptr, desk_.out().c_str(), "p", &pages, 0), PIMLET_BAD_ARGUMENT);
    EXPECT_EQ(scan_(&adjust, &request, nullptr, "p", &pages, 0), PIMLET_BAD_ARGUMENT);
    EXPECT_EQ(scan_(&adjust, &request, desk_.out().c_str(), nullptr, &pages, 0), PIMLET_BAD_ARGUMENT);
    EXPECT_EQ(scan_(&adjust, &request, desk_.out().c_str(), "p", nullptr, 0), PIMLET_BAD_ARGUMENT);
    EXPECT_EQ(pages, 99u);
    EXPECT_FALSE(std::filesystem::exists(desk_.registry()));
}

}  // namespace
}  // namespace ordavel::test
