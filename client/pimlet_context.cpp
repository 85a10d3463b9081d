// The scan-to-file library's context.
#include "client/pimlet_context.h"

namespace mirt::client {

bool PimletContext::createProgress() {
    auto view = std::make_unique<ordavel::platform::ProgressView>();
    if (!view->create()) return false;
    progress_ = std::move(view);
    return true;
}

int32_t PimletContext::onProgress(int32_t kind) {
    if (kind == 0 || !progress_) return 0;
    ScanInfo info{};
    if (driver_.getScanInfo(info) != 0 || info.progressRange == 0) return 0;
    // 64-bit so that a large image cannot overflow the product.
    progress_->setPosition(static_cast<int>(int64_t{info.progressPos} * 100 / info.progressRange));
    return 0;
}

}  // namespace mirt::client
