// The process-wide driver context of the shared library, created when the library is loaded
// and destroyed when it is unloaded.
#pragma once

namespace ordavel {
class DriverContext;
}

namespace ordavel::interface {

// Null before the library finished loading (or when that failed) and after unloading.
DriverContext* ProcessContext();

}  // namespace ordavel::interface
