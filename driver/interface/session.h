// The session object behind the exported functions: the scanning state, the offered
// resolutions, pixel types and depths, the request values the read path needs, and the
// operations the exports forward to. One per driver context, created on first use.
#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <vector>

#include "driver/engine/enlargement.h"
#include "ordavel.h"

namespace ordavel {
class DriverContext;
}

namespace ordavel::interface {

struct PixelTypeEntry {
    int32_t type = 0;
    std::vector<int32_t> depths;
};

// The request values one scan's read path works with, fixed when the scan starts.
struct ReadSettings {
    int32_t pixelType = 1;
    int32_t res = 0;
    int32_t imageWidth = 0;
    int32_t imageHeight = 0;
};

// The two engine steps a read runs; production passes the engine's own, tests may pass others.
struct ReadSteps {
    std::function<bool(DriverContext&, int32_t& done)> acquire;
    std::function<engine::EnlargeResult(std::span<uint8_t> destination, int32_t& bytes, bool lastCall,
                                        const engine::EnlargementRequest&, engine::EnlargementCarry&)>
        enlarge;
};

ReadSteps EngineReadSteps();

class Session {
public:
    // Loads the scanner description once (its result is ignored: a failure leaves only its
    // status text), then builds the offered lists.
    explicit Session(DriverContext& ctx);
    virtual ~Session();
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    // Records the library's module handle and reads "Mirt.ini" into the current request.
    bool LoadSettings(DriverContext& ctx, const void* module);

    int32_t Start(DriverContext& ctx);
    int32_t Read(DriverContext& ctx, uint8_t* buffer, int32_t size, int32_t* got);
    int32_t ReadWith(DriverContext& ctx, uint8_t* buffer, int32_t size, int32_t* got, const ReadSteps& steps);
    int32_t Stop(DriverContext& ctx);
    int32_t SetParams(DriverContext& ctx, const ScanRequest& params, ScanStatusCallback callback);
    int32_t Calibration(DriverContext& ctx);

    // Fields, in the order the design lists them.
    const void* moduleHandle = nullptr;
    bool scanning = false;
    std::vector<int32_t> horizontalResolutions;
    std::vector<int32_t> verticalResolutions;
    std::vector<PixelTypeEntry> pixelTypes;
    int32_t pixelType = 1;
    engine::EnlargementCarry carry;  // the pending line, its flag and the enlargement's count
    int32_t res = 0;
    int32_t imageWidth = 0;
    int32_t imageHeight = 0;
    int32_t linesDelivered = 0;      // delivered lines of the running scan (enlarging path)
    ReadSettings activeRead;         // the values the running scan delivers by
    bool reading = false;            // a ScanRead is running (its status callback may call back)

    const PixelTypeEntry* findPixelType(int32_t type) const;

private:
    bool prepareEnlargement(DriverContext& ctx);
    void endScan();
    int32_t failRead(DriverContext& ctx);
    int32_t refuseReentry(DriverContext& ctx, int32_t* got);
    int32_t readStep(DriverContext& ctx, uint8_t* buffer, int32_t size, int32_t* got, const ReadSteps& steps);
    bool enlarge(DriverContext& ctx, uint8_t* buffer, int32_t size, int32_t& got, bool end, bool last,
                 int32_t outLine, const ReadSteps& steps);
    bool refusingReentry_ = false;
};

// Returns the context's one session, creating it on first call; null only when it cannot be
// created (memory exhausted).
Session* GetSession(DriverContext& ctx);
void DestroySession(DriverContext& ctx);

}  // namespace ordavel::interface
