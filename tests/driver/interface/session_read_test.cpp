// The read path's bookkeeping, driven with stand-in acquisition and enlargement steps that
// store and enlarge lines the way the engine does.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <span>
#include <vector>

#include "driver/interface/driver_context.h"
#include "driver/interface/read_request.h"
#include "driver/interface/session.h"
#include "tests/support/test_context.h"

namespace ordavel::interface {
namespace {

using test::TestContext;

// A sheet of `sourceLines` lines of `lineBytes` bytes: each step stores as many whole lines as
// the destination takes and reports done after the last.
struct FakeSheet {
    int32_t lineBytes = 0;
    int32_t sourceLines = 0;
    int32_t stored = 0;
    int32_t steps = 0;
    bool failAtStep = false;
    int32_t failStep = -1;
    std::vector<int32_t> capacities;

    bool acquire(DriverContext& ctx, int32_t& done) {
        engine::Destination& d = ctx.engine.destination;
        capacities.push_back(d.capacity);
        if (steps++ == failStep) return false;
        const int32_t lines = std::min(d.capacity / lineBytes, sourceLines - stored);
        if (lines > 0) std::memset(d.buffer, 0x5A, static_cast<std::size_t>(lines) * lineBytes);
        d.delivered = lines * lineBytes;
        stored += lines;
        done = stored == sourceLines ? 1 : 0;
        return true;
    }
};

// 3/2 in both directions: after S source lines, floor(3S/2) delivered lines exist.
struct FakeEnlarger {
    int32_t calls = 0;
    bool fail = false;
    bool lastSeen = false;

    engine::EnlargeResult enlarge(std::span<uint8_t>, int32_t& bytes, bool lastCall,
                                  const engine::EnlargementRequest& r, engine::EnlargementCarry& carry) {
        ++calls;
        lastSeen = lastCall;
        if (fail) return engine::EnlargeResult::OutOfMemory;
        const int32_t outLine = DeliveredLineBytes(r.pixelType, r.targetWidth);
        const int32_t before = carry.enlargedLines * 3 / 2;
        carry.enlargedLines += bytes / r.inputLineBytes;
        bytes = (carry.enlargedLines * 3 / 2 - before) * outLine;
        carry.pending = true;  // pretend a line waits for the next call
        return engine::EnlargeResult::Enlarged;
    }
};

class ReadPath : public ::testing::Test {
protected:
    void SetUp() override {
        session = GetSession(driver.ctx());
        steps.acquire = [this](DriverContext& c, int32_t& done) { return sheet.acquire(c, done); };
        steps.enlarge = [this](std::span<uint8_t> b, int32_t& n, bool last, const engine::EnlargementRequest& r,
                               engine::EnlargementCarry& c) { return enlarger.enlarge(b, n, last, r, c); };
    }
    // A scan as a successful ScanStart leaves it.
    void startScan(int32_t pixelType, int32_t res, int32_t width, int32_t height, int32_t lineBytes) {
        session->activeRead = ReadSettings{pixelType, res, width, height};
        session->scanning = true;
        driver.ctx().engine.info.lineBytes = lineBytes;
        sheet.lineBytes = lineBytes;
    }
    int32_t read(int32_t size, int32_t& got) {
        buffer.assign(static_cast<std::size_t>(std::max(size, 0)), 0);
        return session->ReadWith(driver.ctx(), buffer.data(), size, &got, steps);
    }

    TestContext driver{"read"};
    Session* session = nullptr;
    ReadSteps steps;
    FakeSheet sheet;
    FakeEnlarger enlarger;
    std::vector<uint8_t> buffer;
};

TEST_F(ReadPath, NotScanningReturnsOneAndLeavesGotUntouched) {
    int32_t got = -7;
    EXPECT_EQ(read(65536, got), 1);
    EXPECT_EQ(got, -7);
    EXPECT_EQ(sheet.steps, 0);
}

TEST_F(ReadPath, DirectPathPassesCallerSizeAndEndsWithAcquisition) {
    startScan(1, 0, 0, 0, 1100);
    sheet.sourceLines = 100;
    int32_t got = 0;
    EXPECT_EQ(read(65536, got), 0);
    EXPECT_EQ(sheet.capacities.back(), 65536);
    EXPECT_EQ(got, 59 * 1100);
    EXPECT_EQ(read(65536, got), 2);
    EXPECT_EQ(got, 41 * 1100);
    EXPECT_FALSE(session->scanning);
    EXPECT_EQ(enlarger.calls, 0);
}

TEST_F(ReadPath, NegativeSizeStoresNothing) {
    startScan(1, 0, 0, 0, 1100);
    sheet.sourceLines = 5;
    int32_t got = 3;
    EXPECT_EQ(read(-100, got), 0);
    EXPECT_EQ(sheet.capacities.back(), 0);
    EXPECT_EQ(got, 0);
}

TEST_F(ReadPath, EnlargedGreyRequestsTwelveSourceLinesPerRead) {
    // Window 1420 units of a 1680-unit bed at 200 dpi: 1420-byte lines, delivered as 2130.
    startScan(1, 1, 2130, 2838, 1420);
    sheet.sourceLines = 1892;
    int32_t got = 0;
    EXPECT_EQ(read(65536, got), 0);
    EXPECT_EQ(sheet.capacities.back(), 12 * 1420);
    EXPECT_EQ(got, 18 * 2132);
    EXPECT_EQ(session->linesDelivered, 18);
}

TEST_F(ReadPath, EnlargedImageEndsExactlyAtItsHeight) {
    startScan(1, 1, 2130, 2838, 1420);
    sheet.sourceLines = 1892;
    int32_t got = 0, total = 0, reads = 0, result = 0;
    do {
        result = read(65536, got);
        ASSERT_NE(result, 1);
        total += got;
        ++reads;
    } while (result == 0 && reads < 1000);
    EXPECT_EQ(result, 2);
    EXPECT_EQ(reads, 158);
    EXPECT_EQ(total, 2838 * 2132);
    EXPECT_EQ(sheet.capacities.back(), 8 * 1420) << "the last request asks for what is left";
    EXPECT_TRUE(enlarger.lastSeen);
    EXPECT_FALSE(session->scanning);
    EXPECT_EQ(session->linesDelivered, 0);
    EXPECT_FALSE(session->carry.pending);
}

TEST_F(ReadPath, LastRequestReportsRemainingLinesEvenIfFewerWereMade) {
    // One source line left: exactly one is requested, the call returns 2 and got covers the
    // image's remaining delivered lines.
    startScan(0, 1, 1650, 2838, 138);
    session->linesDelivered = 2837;
    sheet.sourceLines = 1;
    int32_t got = 0;
    EXPECT_EQ(read(65536, got), 2);
    EXPECT_EQ(sheet.capacities.back(), 138);
    EXPECT_EQ(got, 208);
}

TEST_F(ReadPath, LastLineInLessThanALineIsRefusedBeforeAnythingIsStored) {
    startScan(1, 1, 2130, 2838, 1420);
    session->linesDelivered = 2837;
    sheet.sourceLines = 1;
    int32_t got = 0;
    EXPECT_EQ(read(1000, got), 1);
    EXPECT_EQ(sheet.steps, 0);
    EXPECT_EQ(got, 0);
    EXPECT_FALSE(session->scanning);
    EXPECT_STREQ(driver.ctx().record.messageText, "扫描宽度超界");
}

TEST_F(ReadPath, AcquisitionEndingEarlyEndsTheImage) {
    startScan(1, 1, 2130, 2838, 1420);
    sheet.sourceLines = 10;
    int32_t got = 0;
    EXPECT_EQ(read(65536, got), 2);
    EXPECT_EQ(got, 15 * 2132);
    EXPECT_TRUE(enlarger.lastSeen);
    EXPECT_EQ(session->linesDelivered, 0);
}

struct FailureCase {
    const char* name;
    int32_t res;
    bool failAcquire;
    bool failEnlarge;
};

class ReadFailure : public ReadPath, public ::testing::WithParamInterface<FailureCase> {};

TEST_P(ReadFailure, EndsTheScanAndClearsBookkeeping) {
    startScan(1, GetParam().res, 2130, 2838, 1420);
    sheet.sourceLines = 1892;
    sheet.failStep = GetParam().failAcquire ? 1 : -1;
    int32_t got = 0;
    ASSERT_EQ(read(65536, got), 0);
    enlarger.fail = GetParam().failEnlarge;
    const int32_t enlargeCalls = enlarger.calls;
    EXPECT_EQ(read(65536, got), 1);
    EXPECT_FALSE(session->scanning);
    EXPECT_EQ(session->linesDelivered, 0);
    EXPECT_FALSE(session->carry.pending) << "a stale pending line would start the next scan";
    EXPECT_EQ(session->carry.enlargedLines, 0);
    if (GetParam().failAcquire) {
        EXPECT_EQ(enlarger.calls, enlargeCalls) << "nothing runs after a failed step";
    }
    EXPECT_EQ(read(65536, got), 1) << "no scan any more";
}

INSTANTIATE_TEST_SUITE_P(Steps, ReadFailure,
                         ::testing::Values(FailureCase{"DirectAcquisition", 0, true, false},
                                           FailureCase{"EnlargingAcquisition", 1, true, false},
                                           FailureCase{"Enlargement", 1, false, true}),
                         [](const auto& p) { return std::string(p.param.name); });

struct NoLineCase {
    const char* name;
    int32_t pixelType;
    int32_t width;
};

class NoDeliveredLine : public ReadPath, public ::testing::WithParamInterface<NoLineCase> {};

TEST_P(NoDeliveredLine, FailsWithoutDividingByZero) {
    startScan(GetParam().pixelType, 1, GetParam().width, 2838, 1420);
    sheet.sourceLines = 10;
    int32_t got = 5;
    EXPECT_EQ(read(65536, got), 1);
    EXPECT_EQ(sheet.steps, 0) << "nothing is acquired";
    EXPECT_FALSE(session->scanning);
    EXPECT_STRNE(driver.ctx().record.messageText, "");
}

INSTANTIATE_TEST_SUITE_P(Requests, NoDeliveredLine,
                         ::testing::Values(NoLineCase{"Colour", 2, 2130}, NoLineCase{"Unknown", 7, 2130},
                                           NoLineCase{"ZeroWidth", 1, 0}, NoLineCase{"NegativeWidth", 0, -16}),
                         [](const auto& p) { return std::string(p.param.name); });

TEST_F(ReadPath, RefusedParametersDuringScanDoNotChangeTheRunningRead) {
    startScan(1, 1, 2130, 2838, 1420);
    sheet.sourceLines = 1892;
    ScanRequest other{};
    other.pixelType = 0;
    other.bitDepth = 1;
    other.res = 1;
    other.imageWidth = 9000;
    EXPECT_EQ(session->SetParams(driver.ctx(), other, nullptr), 1);
    EXPECT_EQ(session->imageWidth, 9000) << "the session keeps the refused values";
    int32_t got = 0;
    EXPECT_EQ(read(65536, got), 0);
    EXPECT_EQ(got, 18 * 2132) << "the scan goes on with the values it started with";
}

}  // namespace
}  // namespace ordavel::interface
