// When the session cannot be created (memory exhausted), the exports fail cleanly. The global
// allocation functions of this test program are replaced so one allocation can be made to fail.
#include <gtest/gtest.h>

#include <cstdlib>
#include <new>

#include "driver/interface/export_operations.h"
#include "driver/interface/session.h"
#include "tests/support/test_context.h"

namespace {
std::size_t g_failAllocationOfSize = 0;
}

void* operator new(std::size_t n) {
    if (g_failAllocationOfSize != 0 && n == g_failAllocationOfSize) {
        g_failAllocationOfSize = 0;
        throw std::bad_alloc();
    }
    if (void* p = std::malloc(n == 0 ? 1 : n)) return p;
    throw std::bad_alloc();
}
void* operator new[](std::size_t n) { return ::operator new(n); }
void* operator new(std::size_t n, const std::nothrow_t&) noexcept {
    try {
        return ::operator new(n);
    } catch (...) {
        return nullptr;
    }
}
void* operator new[](std::size_t n, const std::nothrow_t&) noexcept {
    return ::operator new(n, std::nothrow);
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { std::free(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { std::free(p); }

namespace ordavel::interface {
namespace {

TEST(SessionCreationFailure, ExportsNeedingTheSessionFailWithOutOfMemory) {
    test::TestContext driver("nosession");
    driver.installReferenceFiles();
    DriverContext& ctx = driver.ctx();

    g_failAllocationOfSize = sizeof(Session);
    EXPECT_EQ(GetSession(ctx), nullptr);

    g_failAllocationOfSize = sizeof(Session);
    EXPECT_EQ(ScanStart(ctx), 1);
    EXPECT_STREQ(ctx.record.messageText, "内存不足!");
    EXPECT_EQ(ctx.session, nullptr);

    g_failAllocationOfSize = sizeof(Session);
    int32_t got = 9;
    uint8_t buffer[16];
    EXPECT_EQ(ScanRead(ctx, buffer, sizeof buffer, &got), 1);
    EXPECT_EQ(got, 9);

    g_failAllocationOfSize = sizeof(Session);
    int32_t out[4] = {};
    int32_t count = -1;
    EXPECT_EQ(ScanGetCapability(ctx, 0, nullptr, out, &count), 1);
    EXPECT_EQ(count, 0);

    g_failAllocationOfSize = sizeof(Session);
    ScanInfo info{};
    EXPECT_EQ(ScanGetScanInfo(ctx, &info), 0) << "the status text stays readable";
    EXPECT_STREQ(info.statusText, "内存不足!");

    g_failAllocationOfSize = 0;
    EXPECT_EQ(ScanGetCapability(ctx, 0, nullptr, out, &count), 0) << "a later call creates the session";
    EXPECT_EQ(count, 2);
}

}  // namespace
}  // namespace ordavel::interface
