// Starting a program that outlives its starter, as a desktop shell's "open" does: the same
// detached start the virtual scanner's server uses.
#include "platform/detached_launch.h"

#include "platform/background_process.h"

namespace ordavel::platform {

bool LaunchDetached(const std::string& program) {
    std::string error;  // the shell's "open" reports nothing either
    return StartBackgroundProgram(program, {}, error);
}

}  // namespace ordavel::platform
