// The key store and the presence lock: real files and real locks in a scratch folder.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "platform/monitor_presence.h"
#include "platform/registry_store.h"
#include "tests/support/scratch_files.h"

namespace ordavel::platform {
namespace {

namespace fs = std::filesystem;

class ScratchStore : public ::testing::Test {
protected:
    void SetUp() override {
        ::setenv("MIRT_REGISTRY", dir_.file("store").c_str(), 1);
        ::setenv("MIRT_RUNTIME_DIR", dir_.file("run").c_str(), 1);
    }
    void TearDown() override {
        ::unsetenv("MIRT_REGISTRY");
        ::unsetenv("MIRT_RUNTIME_DIR");
    }
    test::ScratchDir dir_{"store"};
};

TEST_F(ScratchStore, ValuesKeepTheirTypeAndBytesAndAreReplacedWhole) {
    const auto key = RegistryKey::CreateOrOpen("SOFTWARE\\USBHalvex", 0x2001F);
    ASSERT_TRUE(key);
    EXPECT_EQ(key->folder(), dir_.file("store") + "/HKEY_CURRENT_USER/SOFTWARE/USBHalvex");
    ASSERT_TRUE(key->setDword("bScanStart", 0x01020304));
    const auto value = key->query("bScanStart");
    ASSERT_TRUE(value);
    EXPECT_EQ(value->type, kRegistryDword);
    EXPECT_EQ(value->bytes, (std::vector<uint8_t>{4, 3, 2, 1}));
    ASSERT_TRUE(key->setValue("text", {1, {'a', 'b'}}));
    EXPECT_EQ(key->query("text")->bytes.size(), 2u);
    ASSERT_TRUE(key->setDword("bScanStart", 32));
    EXPECT_EQ(key->query("bScanStart")->bytes[0], 32);
    for (const auto& entry : fs::directory_iterator(key->folder())) {
        EXPECT_EQ(entry.path().extension(), ".value") << "no temporary file is left behind";
    }
    EXPECT_FALSE(key->query("missing"));
}

TEST_F(ScratchStore, KeysThatCannotBeHeldOrNamesThatLeaveTheStoreAreRefused) {
    EXPECT_FALSE(RegistryKey::Open("SOFTWARE\\USBHalvex", 0x2001F)) << "open does not create";
    EXPECT_FALSE(RegistryKey::CreateOrOpen("SOFTWARE\\..\\..\\etc", 0x2001F));
    EXPECT_FALSE(RegistryKey::CreateOrOpen("", 0x2001F));
    fs::create_directories(dir_.file("store/HKEY_CURRENT_USER"));
    std::ofstream(dir_.file("store/HKEY_CURRENT_USER/SOFTWARE")) << "a file";
    EXPECT_FALSE(RegistryKey::CreateOrOpen("SOFTWARE\\USBHalvex", 0x2001F));
    const auto readOnly = RegistryKey::CreateOrOpen("Other", 0x20019);
    ASSERT_TRUE(readOnly);
    EXPECT_FALSE(readOnly->setDword("v", 1)) << "a key opened for reading takes no values";
}

TEST_F(ScratchStore, MalformedValueFilesReadAsMissing) {
    const auto key = RegistryKey::CreateOrOpen("SOFTWARE\\USBHalvex", 0x2001F);
    ASSERT_TRUE(key);
    std::ofstream(key->folder() + "/short.value") << "ab";
    EXPECT_FALSE(key->query("short"));
    fs::create_directory(key->folder() + "/folder.value");
    EXPECT_FALSE(key->query("folder"));
    EXPECT_FALSE(key->setDword("folder", 1)) << "nothing replaces a folder";
}

TEST_F(ScratchStore, PresenceIsHeldUntilItsHolderLetsGo) {
    EXPECT_FALSE(PresenceHeld("usbHalvex"));
    auto presence = Presence::Take("usbHalvex");
    ASSERT_TRUE(presence);
    EXPECT_TRUE(PresenceHeld("usbHalvex"));
    EXPECT_FALSE(Presence::Take("usbHalvex")) << "one holder at a time";
    EXPECT_TRUE(PresenceHeld("usbHalvex")) << "asking does not disturb the holder";
    presence.reset();
    EXPECT_FALSE(PresenceHeld("usbHalvex"));
    EXPECT_FALSE(Presence::Take("../escape"));
}

}  // namespace
}  // namespace ordavel::platform
