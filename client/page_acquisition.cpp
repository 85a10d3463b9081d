// Acquiring one page through the driver binding.
#include "client/page_acquisition.h"

#include <algorithm>

namespace mirt::client {

namespace {

// Reads that bring nothing and do not end the page; a driver that keeps answering this way
// would otherwise hold the loop for ever.
constexpr int kMostEmptyReads = 100000;

AcquiredPage Failed(int32_t code) { return AcquiredPage{code, std::nullopt}; }

void ResetBar(PimletContext& ctx) {
    if (auto* view = ctx.progress()) {
        view->setRange(0, 100);
        view->setStep(1);
        view->setPosition(0);
    }
}

}  // namespace

AcquiredPage AcquirePage(PimletContext& ctx) {
    DriverBinding& driver = ctx.driver();
    ScanRequest request{};
    if (const int32_t rc = driver.getRequest(request); rc != 0) return Failed(rc);
    request.lineOrder = 1;
    if (const int32_t rc = driver.setRequest(request, ctx.progressCallback()); rc != 0) return Failed(rc);

    ScanInfo info{};
    ScanParameters params{};
    driver.getScanInfo(info);
    driver.getScanParams(params);
    ResetBar(ctx);
    std::optional<PageImage> page = PageImage::Create(params, info.totalBytes);
    if (!page) return Failed(1);

    if (const int32_t rc = driver.start(); rc != 0) return Failed(rc);

    auto pixels = page->pixels();
    const std::size_t imageSize = page->imageSize();
    std::size_t offset = 0;
    int emptyReads = 0;
    while (offset < imageSize) {
        const int32_t piece = static_cast<int32_t>(std::min<std::size_t>(kReadPieceBytes, imageSize - offset));
        int32_t got = 0;
        const int32_t rc = driver.read(pixels.data() + offset, piece, &got);
        if (rc == 2) break;
        if (rc == 1 || rc == 3) return Failed(rc);
        // A count outside what was asked for cannot be trusted to say where the data ends.
        if (got < 0 || got > piece) return Failed(1);
        emptyReads = got == 0 ? emptyReads + 1 : 0;
        if (emptyReads > kMostEmptyReads) return Failed(1);
        offset += static_cast<std::size_t>(got);
    }
    if (auto* view = ctx.progress()) view->setPosition(100);
    page->turnUpsideDown();
    return AcquiredPage{0, std::move(page)};
}

}  // namespace mirt::client
