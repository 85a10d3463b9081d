// The work file: header, creation, appending.
#include "driver/engine/work_file.h"

#include <cstdio>

#include "driver/device/status_report.h"
#include "driver/interface/driver_context.h"
#include "platform/work_files.h"

namespace ordavel::engine {

int32_t WorkFileDepthCode(int32_t bitsperchannel) {
    switch (bitsperchannel) {
    case 2: return 1;
    case 4: return 2;
    case 8: return 3;
    case 16: return 4;
    default: return 0;
    }
}

std::string WorkFileHeader(const ScanParms& parms, int32_t linesToScan) {
    char text[256];
    std::snprintf(text, sizeof text, "v2\n%d\n0.00\n0\n%d\n%d\n%d\n%d\n%d\n2\n", parms.pixelsperline,
                  parms.channelmode, WorkFileDepthCode(parms.bitsperchannel), linesToScan, parms.hres,
                  parms.yres);
    return text;
}

bool CreateWorkFile(DriverContext& ctx) {
    AcquisitionState& a = ctx.engine.acquisition;
    a.workFile = platform::CreateOwnerFile(a.workFilePath);
    if (a.workFile == nullptr) {
        device::Report(ctx, "打开文件错误: %s", a.workFilePath.c_str());
        return false;
    }
    const std::string header = WorkFileHeader(ctx.engine.parms, a.linesToScan);
    if (std::fwrite(header.data(), 1, header.size(), a.workFile) != header.size()) {
        device::Report(ctx, "写文件错误: %s", a.workFilePath.c_str());
        return false;
    }
    return true;
}

bool AppendToWorkFile(DriverContext& ctx, std::span<const uint8_t> bytes) {
    std::FILE* file = ctx.engine.acquisition.workFile;
    if (bytes.empty()) return true;
    if (file == nullptr || std::fwrite(bytes.data(), 1, bytes.size(), file) != bytes.size()) {
        device::Report(ctx, "写文件错误!");
        return false;
    }
    return true;
}

void CloseWorkFile(DriverContext& ctx) {
    std::FILE*& file = ctx.engine.acquisition.workFile;
    if (file == nullptr) return;
    std::fclose(file);
    file = nullptr;
}

}  // namespace ordavel::engine
