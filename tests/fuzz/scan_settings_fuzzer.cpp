// Fuzzes "Mirt.ini", the scan settings a client leaves in the temporary directory: the bytes are
// the file, read as the library reads it when loaded, and the request it produced is read back
// through the exports a client calls next.
#include <cstddef>
#include <cstdint>

#include "driver/interface/export_operations.h"
#include "tests/fuzz/fuzz_input.h"
#include "tests/fuzz/fuzz_scanner.h"

namespace {
const char kModuleAnchor = 0;
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    using namespace ordavel;
    fuzz::FuzzScanner rig;
    rig.write("Mirt.ini", fuzz::FuzzInput::Text({data, size}));
    interface::AttachLibrary(rig.ctx(), &kModuleAnchor);
    ScanRequest request{};
    ScanInfo info{};
    interface::ScanGetScanParams(rig.ctx(), &request);
    interface::ScanGetScanInfo(rig.ctx(), &info);
    fuzz::RequireTerminatedStatus(rig.ctx());
    interface::DetachLibrary(rig.ctx());
    return 0;
}
