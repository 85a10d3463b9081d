// Library load and unload: the constructor and destructor stand for process attach and detach.
#include "driver/interface/library_entry.h"

#include <memory>

#include "driver/interface/driver_context.h"
#include "driver/interface/export_operations.h"
#include "driver/interface/production_environment.h"

namespace ordavel::interface {

namespace {

// The one global of the library: a plain pointer, so its lifetime is exactly that of the load.
DriverContext* g_context = nullptr;

// Identifies this library as its module handle (an opaque value nobody dereferences).
const char kModuleAnchor = 0;

__attribute__((constructor)) void AttachProcess() {
    try {
        auto ctx = std::make_unique<DriverContext>(MakeProductionEnvironment());
        AttachLibrary(*ctx, &kModuleAnchor);
        g_context = ctx.release();
    } catch (...) {
        // Loading always succeeds; without a context every export fails.
    }
}

__attribute__((destructor)) void DetachProcess() {
    if (g_context == nullptr) return;
    try {
        DetachLibrary(*g_context);
    } catch (...) {
    }
    delete g_context;
    g_context = nullptr;
}

}  // namespace

DriverContext* ProcessContext() { return g_context; }

}  // namespace ordavel::interface
