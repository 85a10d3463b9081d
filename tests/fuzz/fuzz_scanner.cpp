// The fuzz targets' driver set-up.
#include "tests/fuzz/fuzz_scanner.h"

#include <cstdlib>

#include "driver/description/description_loader.h"
#include "driver/device/transport.h"
#include "tests/support/scratch_files.h"
#include "tests/support/test_paths.h"

namespace ordavel::fuzz {

namespace {

const std::string& DataFile(const char* name) {
    // Read once per process: the targets run many inputs.
    static const std::string def = test::ReadWholeFile(test::DataDir() + "/Mirt.def");
    static const std::string dsc = test::ReadWholeFile(test::DataDir() + "/Mirt9832.dsc");
    return std::string(name) == "Mirt.def" ? def : dsc;
}

}  // namespace

FuzzScanner::FuzzScanner() {
    write("Mirt.def", DataFile("Mirt.def"));
    write("Mirt9832.dsc", DataFile("Mirt9832.dsc"));
}

test::ScriptedPipe& FuzzScanner::attach() { return scratch_.AttachScanner(); }

test::ScriptedPipe& FuzzScanner::open() {
    test::ScriptedPipe& pipe = attach();
    description::LoadScannerDescription(ctx());
    if (!device::Open(ctx(), u"Mirt", u"Mirt Sheet Scanner")) std::abort();  // the rig itself is broken
    return pipe;
}

void FuzzScanner::write(const std::string& name, const std::string& bytes) {
    scratch_.writeFile(scratch_.tempDir() + "/" + name, bytes);
}

void RequireTerminatedStatus(const DriverContext& ctx) {
    if (ctx.record.messageText[sizeof ctx.record.messageText - 1] != '\0') std::abort();
}

}  // namespace ordavel::fuzz
