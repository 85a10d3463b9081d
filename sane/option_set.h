// The backend's options: their descriptors, their values, and SANE's get/set semantics with
// every constraint checked. Knows nothing of the driver, so it can be exercised on its own.
#pragma once

#include <sane/sane.h>

#include <array>
#include <cstdint>
#include <string>

#include "tools/common/page_area.h"

namespace mirt::sane_backend {

enum OptionIndex : int {
    kOptNumOptions,
    kOptModeGroup,
    kOptMode,
    kOptResolution,
    kOptSource,
    kOptGeometryGroup,
    kOptPageWidth,
    kOptPageHeight,
    kOptTlX,
    kOptTlY,
    kOptBrX,
    kOptBrY,
    kOptEnhancementGroup,
    kOptBrightness,
    kOptContrast,
    kOptThreshold,
    kOptSensorGroup,
    kOptCalibrate,
    kOptPageLoaded,
    kOptionCount
};

// What a scan is asked for, in the driver's terms.
struct ScanWindow {
    bool lineart = false;
    int32_t resolution = 200;    // 200 or 300 (delivered enlarged by 3/2)
    page_area::BedWindow bed;    // on the bed, in its 200 dpi pixels
    int32_t brightness = 0;
    int32_t contrast = 0;
    int32_t threshold = 128;

    int32_t pixelsPerLine() const;
    int32_t lines() const;
    int32_t bytesPerLine() const;  // SANE's rows: no padding
};

class OptionSet {
public:
    OptionSet();

    const SANE_Option_Descriptor* descriptor(int index) const;

    // SANE's control_option for every option but the button and the sensor, which need the
    // scanner: for those the caller acts and uses these only to check the request.
    // `info` collects SANE_INFO_* flags.
    SANE_Status get(int index, void* value) const;
    SANE_Status set(int index, void* value, SANE_Int* info);
    SANE_Status setAuto(int index, SANE_Int* info);

    ScanWindow window() const;

    // The paper sensor can be read only once the scanner is calibrated; until then the option
    // is inactive.
    void setSensorsReadable(bool readable);

private:
    void updateActivity();
    void clampAreaToPage();

    std::array<SANE_Option_Descriptor, kOptionCount> descriptors_{};
    std::string mode_;
    SANE_Int resolution_ = 200;
    std::string source_;
    std::array<SANE_Word, kOptionCount> words_{};  // fixed and integer values by index
};

}  // namespace mirt::sane_backend
