// Fuzzes the description load: arbitrary bytes as the scanner description file or as the
// settings file "Mirt.def", loaded on a fresh driver context each time. The first byte picks
// the file and the horizontal resolution the override scan looks for.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include <unistd.h>

#include "driver/description/description_loader.h"
#include "driver/interface/driver_context.h"
#include "platform/clock.h"
#include "platform/raw_pipe.h"

namespace {

namespace fs = std::filesystem;

const fs::path& WorkDir() {
    static const fs::path dir = [] {
        fs::path d = fs::temp_directory_path() / ("mirt-fuzz-" + std::to_string(::getpid()));
        fs::create_directories(d);
        std::atexit([] {
            std::error_code ec;
            fs::remove_all(WorkDir(), ec);
        });
        return d;
    }();
    return dir;
}

void WriteFile(const fs::path& path, const uint8_t* data, std::size_t size) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
}

void WriteFile(const fs::path& path, const std::string& text) {
    WriteFile(path, reinterpret_cast<const uint8_t*>(text.data()), text.size());
}

std::string ReferenceDescription() {
    std::ifstream in(std::string(MIRT_DATA_DIR) + "/Mirt9832.dsc", std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    static const std::string reference = ReferenceDescription();
    const uint8_t selector = data[0];
    ++data;
    --size;

    const fs::path& dir = WorkDir();
    if (selector & 1) {
        // The bytes are "Mirt.def"; a good description sits beside it under two names.
        WriteFile(dir / "Mirt.def", data, size);
        WriteFile(dir / "Mirt9832.dsc", reference);
    } else {
        WriteFile(dir / "Mirt.def", std::string("[SETUP]\nScannerFile=fuzz.dsc\n"));
        WriteFile(dir / "fuzz.dsc", data, size);
    }

    ordavel::DriverEnvironment env;
    env.clock = std::make_shared<ordavel::platform::VirtualClock>();
    env.devices = std::make_shared<ordavel::platform::DeviceList>();
    env.tempDirectory = dir.string();
    ordavel::DriverContext ctx(std::move(env));
    const int32_t resolutions[4] = {200, 150, 300, 600};
    ctx.engine.request.xResolution = resolutions[(selector >> 1) & 3];
    ctx.engine.request.pixelType = (selector >> 3) & 3;
    ordavel::description::LoadScannerDescription(ctx);
    // The message must always be a terminated string inside its buffer.
    if (ctx.record.messageText[sizeof ctx.record.messageText - 1] != '\0') std::abort();

    // The value syntax on its own, with the bytes as one value.
    const std::string text(reinterpret_cast<const char*>(data), size);
    int32_t i = 0;
    double d = 0;
    ordavel::description::ParseIntValue(text.c_str(), i);
    ordavel::description::ParseFloatValue(text.c_str(), d);
    return 0;
}
