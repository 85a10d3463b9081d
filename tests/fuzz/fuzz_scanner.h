// The driver as the fuzz targets run it: a fresh scratch context per input with the shipped
// settings and reference description in its temporary directory, and (when asked) the scripted
// controller listed under the reference scanner's names and opened.
#pragma once

#include <string>

#include "tests/support/test_context.h"
#include "tests/support/scripted_pipe.h"

namespace ordavel::fuzz {

class FuzzScanner {
public:
    FuzzScanner();

    DriverContext& ctx() { return scratch_.ctx(); }
    test::TestContext& scratch() { return scratch_; }
    // Lists the scripted controller (the driver opens it by name when it needs the device).
    test::ScriptedPipe& attach();
    // Attaches the controller, loads the reference description and opens the device.
    test::ScriptedPipe& open();
    // Writes `bytes` as the temporary-directory file `name`.
    void write(const std::string& name, const std::string& bytes);

private:
    test::TestContext scratch_{"fuzz"};
};

// The status text must always be a terminated string inside its buffer.
void RequireTerminatedStatus(const DriverContext& ctx);

}  // namespace ordavel::fuzz
