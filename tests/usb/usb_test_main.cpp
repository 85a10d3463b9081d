// The USB tests' entry: the program puts itself under umockdev's preload before any test runs,
// so it works from ctest and by hand alike.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include <unistd.h>

#include "tests/usb/usb_scanner_device.h"

int main(int argc, char** argv) {
    if (!ordavel::test::UmockdevPreloaded()) {
        // The preload is loaded before the sanitizer's runtime, which it would otherwise refuse.
        const char* asan = std::getenv("ASAN_OPTIONS");
        std::string options = asan != nullptr ? asan : "";
        if (options.find("verify_asan_link_order") == std::string::npos) {
            options += (options.empty() ? "" : ":") + std::string("verify_asan_link_order=0");
            ::setenv("ASAN_OPTIONS", options.c_str(), 1);
        }
        char self[4096];
        const ssize_t n = ::readlink("/proc/self/exe", self, sizeof self - 1);
        if (n <= 0) return 127;
        self[n] = '\0';
        std::vector<char*> args{const_cast<char*>(MIRT_UMOCKDEV_WRAPPER), self};
        for (int i = 1; i < argc; ++i) args.push_back(argv[i]);
        args.push_back(nullptr);
        ::execv(MIRT_UMOCKDEV_WRAPPER, args.data());
        std::perror(MIRT_UMOCKDEV_WRAPPER);
        return 127;
    }
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
