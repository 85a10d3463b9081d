// Choosing the gamma file for a scan (or creating the default one) and downloading it, with
// one retry.
#include <string>

#include "driver/description/gamma_tables.h"
#include "driver/device/status_report.h"
#include "driver/interface/driver_context.h"
#include "platform/profile.h"

namespace ordavel::description {

namespace {

constexpr const char* kDefaultGammaFile = "default.gam";

// "gamma_<d>.gam", or "gamma_<d>a.gam" for scans the client library marked as its own.
std::string GammaFilePath(const DriverContext& ctx, int32_t depth) {
    std::string name = "gamma_" + std::to_string(depth);
    const int32_t twainScan = platform::ReadProfileInt(ctx.TempFilePath("Mirt.def"), "TWAINSCAN", "TwainScan", 1);
    if (twainScan == 0) name += "a";
    name += ".gam";
    std::string path = ctx.TempFilePath(name);
    return path.empty() ? ctx.WorkingFilePath(kDefaultGammaFile) : path;
}

// Creates the default file and opens it again for reading; null when any step fails.
std::FILE* CreateDefaultGammaFile(const std::string& path) {
    std::FILE* out = std::fopen(path.c_str(), "w");
    if (out == nullptr) return nullptr;
    const bool written = WriteDefaultGammaFile(out);
    const bool closed = std::fclose(out) == 0;
    if (!written || !closed) return nullptr;
    return std::fopen(path.c_str(), "r");
}

// The named file, else "default.gam" in the current directory, created when missing.
std::FILE* OpenGammaFile(DriverContext& ctx, std::string& path, int32_t depth) {
    path = GammaFilePath(ctx, depth);
    if (std::FILE* file = std::fopen(path.c_str(), "r")) return file;
    path = ctx.WorkingFilePath(kDefaultGammaFile);
    if (std::FILE* file = std::fopen(path.c_str(), "r")) return file;
    std::FILE* file = CreateDefaultGammaFile(path);
    if (file == nullptr) device::Report(ctx, "Can't create default Gamma table!");
    return file;
}

}  // namespace

bool LoadGammaTables(DriverContext& ctx, int32_t depth) {
    // Deeper scans bypass the tables: they keep whatever the controller holds.
    if (depth > 8) return true;
    std::string path;
    std::FILE* file = OpenGammaFile(ctx, path, depth);
    if (file == nullptr) return false;
    if (!DownloadGammaFile(ctx, file)) {
        std::fclose(file);
        file = std::fopen(path.c_str(), "r");
        if (file == nullptr) {
            device::Report(ctx, "Can't read Gamma table file!");
            return false;
        }
        if (!DownloadGammaFile(ctx, file)) {
            std::fclose(file);
            device::Report(ctx, "Error verifying gamma table!");
            return false;
        }
    }
    std::fclose(file);
    return true;
}

}  // namespace ordavel::description
