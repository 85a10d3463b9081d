// Gamma tables: choosing, reading (or creating) and downloading the three 4096-entry tables.
#pragma once

#include <cstdint>
#include <cstdio>

namespace ordavel {
class DriverContext;
}

namespace ordavel::description {

bool LoadGammaTables(DriverContext& ctx, int32_t depth);
bool WriteDefaultGammaFile(std::FILE* file);
bool DownloadGammaFile(DriverContext& ctx, std::FILE* file);

}  // namespace ordavel::description
