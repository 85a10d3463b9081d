// Starting a program that outlives its starter, as a desktop shell's "open" does.
#pragma once

#include <string>

namespace ordavel::platform {

// Starts `program` with no arguments in a session of its own, its standard streams on the null
// device and no other descriptor of this process inherited, and does not wait for it. True
// when the program was started (a program that then fails is not seen).
bool LaunchDetached(const std::string& program);

}  // namespace ordavel::platform
