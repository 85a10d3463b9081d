// The backend's options.
#include "sane/option_set.h"

#include <sane/saneopts.h>

#include <algorithm>
#include <cmath>
#include <cstring>

namespace mirt::sane_backend {

namespace {

namespace pa = page_area;
const SANE_Fixed kBedWidthMm = SANE_FIX(pa::kBedWidthMm);
const SANE_Fixed kBedLengthMm = SANE_FIX(pa::kBedLengthMm);

// Smallest page: the driver needs some width to scan.
const SANE_Fixed kMinPageMm = SANE_FIX(10.0);

SANE_String_Const kModes[] = {SANE_VALUE_SCAN_MODE_LINEART, SANE_VALUE_SCAN_MODE_GRAY, nullptr};
SANE_String_Const kSources[] = {"ADF", nullptr};
const SANE_Word kResolutions[] = {2, 200, 300};

const SANE_Range kPageWidthRange{kMinPageMm, kBedWidthMm, 0};
const SANE_Range kPageHeightRange{kMinPageMm, kBedLengthMm, 0};
const SANE_Range kXRange{0, kBedWidthMm, 0};
const SANE_Range kYRange{0, kBedLengthMm, 0};
// The tone curve's own ranges for brightness and contrast; the threshold is a grey level.
const SANE_Range kToneRange{-255, 255, 1};
const SANE_Range kThresholdRange{0, 255, 1};

int32_t MmToPixels(SANE_Fixed mm) { return pa::MmToBedPixels(SANE_UNFIX(mm)); }

SANE_Option_Descriptor Group(const char* title) {
    SANE_Option_Descriptor d{};
    d.name = "";
    d.title = title;
    d.desc = "";
    d.type = SANE_TYPE_GROUP;
    d.cap = 0;
    d.constraint_type = SANE_CONSTRAINT_NONE;
    return d;
}

SANE_Option_Descriptor Fixed(const char* name, const char* title, const char* desc, const SANE_Range* range) {
    SANE_Option_Descriptor d{};
    d.name = name;
    d.title = title;
    d.desc = desc;
    d.type = SANE_TYPE_FIXED;
    d.unit = SANE_UNIT_MM;
    d.size = sizeof(SANE_Word);
    d.cap = SANE_CAP_SOFT_SELECT | SANE_CAP_SOFT_DETECT;
    d.constraint_type = SANE_CONSTRAINT_RANGE;
    d.constraint.range = range;
    return d;
}

SANE_Option_Descriptor Int(const char* name, const char* title, const char* desc, const SANE_Range* range) {
    SANE_Option_Descriptor d = Fixed(name, title, desc, range);
    d.type = SANE_TYPE_INT;
    d.unit = SANE_UNIT_NONE;
    return d;
}

SANE_Option_Descriptor StringList(const char* name, const char* title, const char* desc, SANE_String_Const* list) {
    SANE_Option_Descriptor d{};
    d.name = name;
    d.title = title;
    d.desc = desc;
    d.type = SANE_TYPE_STRING;
    d.unit = SANE_UNIT_NONE;
    SANE_Int longest = 0;
    for (SANE_String_Const* s = list; *s != nullptr; ++s) longest = std::max<SANE_Int>(longest, std::strlen(*s) + 1);
    d.size = longest;
    d.cap = SANE_CAP_SOFT_SELECT | SANE_CAP_SOFT_DETECT;
    d.constraint_type = SANE_CONSTRAINT_STRING_LIST;
    d.constraint.string_list = list;
    return d;
}

bool InList(const SANE_String_Const* list, const char* value) {
    for (const SANE_String_Const* s = list; *s != nullptr; ++s) {
        if (std::strcmp(*s, value) == 0) return true;
    }
    return false;
}

bool IsFixedOrInt(int index) {
    return index == kOptPageWidth || index == kOptPageHeight || index == kOptTlX || index == kOptTlY ||
           index == kOptBrX || index == kOptBrY || index == kOptBrightness || index == kOptContrast ||
           index == kOptThreshold;
}

}  // namespace

int32_t ScanWindow::pixelsPerLine() const { return pa::OutputPixelsPerLine(bed, resolution); }

int32_t ScanWindow::lines() const { return pa::OutputLines(bed, resolution); }

int32_t ScanWindow::bytesPerLine() const { return lineart ? (pixelsPerLine() + 7) / 8 : pixelsPerLine(); }

OptionSet::OptionSet() : mode_(SANE_VALUE_SCAN_MODE_GRAY), source_("ADF") {
    auto& d = descriptors_;
    d[kOptNumOptions] = Int(SANE_NAME_NUM_OPTIONS, SANE_TITLE_NUM_OPTIONS, SANE_DESC_NUM_OPTIONS, nullptr);
    d[kOptNumOptions].cap = SANE_CAP_SOFT_DETECT;
    d[kOptNumOptions].constraint_type = SANE_CONSTRAINT_NONE;
    words_[kOptNumOptions] = kOptionCount;

    d[kOptModeGroup] = Group(SANE_I18N("Scan Mode"));
    d[kOptMode] = StringList(SANE_NAME_SCAN_MODE, SANE_TITLE_SCAN_MODE, SANE_DESC_SCAN_MODE, kModes);
    d[kOptResolution] = Int(SANE_NAME_SCAN_RESOLUTION, SANE_TITLE_SCAN_RESOLUTION, SANE_DESC_SCAN_RESOLUTION, nullptr);
    d[kOptResolution].unit = SANE_UNIT_DPI;
    d[kOptResolution].constraint_type = SANE_CONSTRAINT_WORD_LIST;
    d[kOptResolution].constraint.word_list = kResolutions;
    d[kOptSource] = StringList(SANE_NAME_SCAN_SOURCE, SANE_TITLE_SCAN_SOURCE, SANE_DESC_SCAN_SOURCE, kSources);

    d[kOptGeometryGroup] = Group(SANE_I18N("Geometry"));
    d[kOptPageWidth] = Fixed(SANE_NAME_PAGE_WIDTH, SANE_TITLE_PAGE_WIDTH,
                             "Width of the paper; the feeder centres it, and the scan area is measured from "
                             "its left edge.",
                             &kPageWidthRange);
    d[kOptPageHeight] = Fixed(SANE_NAME_PAGE_HEIGHT, SANE_TITLE_PAGE_HEIGHT, SANE_DESC_PAGE_HEIGHT, &kPageHeightRange);
    d[kOptTlX] = Fixed(SANE_NAME_SCAN_TL_X, SANE_TITLE_SCAN_TL_X, SANE_DESC_SCAN_TL_X, &kXRange);
    d[kOptTlY] = Fixed(SANE_NAME_SCAN_TL_Y, SANE_TITLE_SCAN_TL_Y, SANE_DESC_SCAN_TL_Y, &kYRange);
    d[kOptBrX] = Fixed(SANE_NAME_SCAN_BR_X, SANE_TITLE_SCAN_BR_X, SANE_DESC_SCAN_BR_X, &kXRange);
    d[kOptBrY] = Fixed(SANE_NAME_SCAN_BR_Y, SANE_TITLE_SCAN_BR_Y, SANE_DESC_SCAN_BR_Y, &kYRange);
    words_[kOptPageWidth] = kBedWidthMm;
    words_[kOptPageHeight] = kBedLengthMm;
    words_[kOptBrX] = kBedWidthMm;
    words_[kOptBrY] = kBedLengthMm;

    d[kOptEnhancementGroup] = Group(SANE_I18N("Enhancement"));
    d[kOptBrightness] = Int(SANE_NAME_BRIGHTNESS, SANE_TITLE_BRIGHTNESS, SANE_DESC_BRIGHTNESS, &kToneRange);
    d[kOptContrast] = Int(SANE_NAME_CONTRAST, SANE_TITLE_CONTRAST, SANE_DESC_CONTRAST, &kToneRange);
    d[kOptThreshold] = Int(SANE_NAME_THRESHOLD, SANE_TITLE_THRESHOLD, SANE_DESC_THRESHOLD, &kThresholdRange);
    words_[kOptThreshold] = 128;

    d[kOptSensorGroup] = Group(SANE_I18N("Sensors and Buttons"));
    d[kOptCalibrate] = SANE_Option_Descriptor{};
    d[kOptCalibrate].name = "calibrate";  // the name sane-backends use for a calibration button
    d[kOptCalibrate].title = SANE_I18N("Calibrate");
    d[kOptCalibrate].desc = "Calibrate the scanner with the white calibration sheet in the feeder (about a minute).";
    d[kOptCalibrate].type = SANE_TYPE_BUTTON;
    // A button is set by software; SANE asks every settable option to be detectable as well.
    d[kOptCalibrate].cap = SANE_CAP_SOFT_SELECT | SANE_CAP_SOFT_DETECT | SANE_CAP_ADVANCED;
    d[kOptCalibrate].constraint_type = SANE_CONSTRAINT_NONE;
    d[kOptPageLoaded] = SANE_Option_Descriptor{};
    d[kOptPageLoaded].name = SANE_NAME_PAGE_LOADED;
    d[kOptPageLoaded].title = SANE_TITLE_PAGE_LOADED;
    d[kOptPageLoaded].desc = "A sheet is in the feeder (readable once the scanner is calibrated).";
    d[kOptPageLoaded].type = SANE_TYPE_BOOL;
    d[kOptPageLoaded].size = sizeof(SANE_Word);
    d[kOptPageLoaded].cap = SANE_CAP_SOFT_DETECT | SANE_CAP_HARD_SELECT;
    d[kOptPageLoaded].constraint_type = SANE_CONSTRAINT_NONE;
    updateActivity();
}

const SANE_Option_Descriptor* OptionSet::descriptor(int index) const {
    if (index < 0 || index >= kOptionCount) return nullptr;
    return &descriptors_[static_cast<std::size_t>(index)];
}

void OptionSet::updateActivity() {
    // Brightness moves the grey curve; in line art the threshold takes its place.
    const bool lineart = mode_ == SANE_VALUE_SCAN_MODE_LINEART;
    auto active = [this](int index, bool on) {
        SANE_Int& cap = descriptors_[static_cast<std::size_t>(index)].cap;
        cap = on ? (cap & ~SANE_CAP_INACTIVE) : (cap | SANE_CAP_INACTIVE);
    };
    active(kOptBrightness, !lineart);
    active(kOptThreshold, lineart);
}

void OptionSet::setSensorsReadable(bool readable) {
    SANE_Int& cap = descriptors_[kOptPageLoaded].cap;
    cap = readable ? (cap & ~SANE_CAP_INACTIVE) : (cap | SANE_CAP_INACTIVE);
}

SANE_Status OptionSet::get(int index, void* value) const {
    if (index < 0 || index >= kOptionCount || value == nullptr) return SANE_STATUS_INVAL;
    const SANE_Option_Descriptor& d = descriptors_[static_cast<std::size_t>(index)];
    if (d.type == SANE_TYPE_GROUP || d.type == SANE_TYPE_BUTTON || !SANE_OPTION_IS_ACTIVE(d.cap)) {
        return SANE_STATUS_INVAL;
    }
    switch (index) {
        case kOptMode: std::strcpy(static_cast<char*>(value), mode_.c_str()); return SANE_STATUS_GOOD;
        case kOptSource: std::strcpy(static_cast<char*>(value), source_.c_str()); return SANE_STATUS_GOOD;
        case kOptResolution: *static_cast<SANE_Word*>(value) = resolution_; return SANE_STATUS_GOOD;
        case kOptPageLoaded: return SANE_STATUS_INVAL;  // read from the scanner by the caller
        default: *static_cast<SANE_Word*>(value) = words_[static_cast<std::size_t>(index)]; return SANE_STATUS_GOOD;
    }
}

SANE_Status OptionSet::set(int index, void* value, SANE_Int* info) {
    if (index < 0 || index >= kOptionCount) return SANE_STATUS_INVAL;
    const SANE_Option_Descriptor& d = descriptors_[static_cast<std::size_t>(index)];
    if (!SANE_OPTION_IS_SETTABLE(d.cap) || !SANE_OPTION_IS_ACTIVE(d.cap)) return SANE_STATUS_INVAL;
    if (d.type == SANE_TYPE_BUTTON) return SANE_STATUS_GOOD;  // pressed: the caller acts
    if (value == nullptr) return SANE_STATUS_INVAL;
    SANE_Int flags = 0;
    if (index == kOptMode || index == kOptSource) {
        // At most the descriptor's size is read, so a value without its terminator is refused.
        const char* text = static_cast<const char*>(value);
        if (std::memchr(text, '\0', static_cast<std::size_t>(d.size)) == nullptr) return SANE_STATUS_INVAL;
        if (!InList(d.constraint.string_list, text)) return SANE_STATUS_INVAL;
        if (index == kOptMode) {
            if (mode_ != text) flags |= SANE_INFO_RELOAD_OPTIONS | SANE_INFO_RELOAD_PARAMS;
            mode_ = text;
            updateActivity();
        } else {
            source_ = text;
        }
    } else if (index == kOptResolution) {
        SANE_Word asked = *static_cast<const SANE_Word*>(value);
        // The nearer of the two resolutions, as SANE lets a backend round.
        const SANE_Word chosen = asked >= 250 ? 300 : 200;
        if (chosen != asked) {
            // SANE hands an inexact value back in the caller's buffer.
            *static_cast<SANE_Word*>(value) = chosen;
            flags |= SANE_INFO_INEXACT;
        }
        if (chosen != resolution_) flags |= SANE_INFO_RELOAD_PARAMS;
        resolution_ = chosen;
    } else if (IsFixedOrInt(index)) {
        SANE_Word asked = *static_cast<const SANE_Word*>(value);
        const SANE_Range* range = d.constraint.range;
        const SANE_Word clamped = std::clamp(asked, range->min, range->max);
        if (clamped != asked) {
            *static_cast<SANE_Word*>(value) = clamped;
            flags |= SANE_INFO_INEXACT;
        }
        words_[static_cast<std::size_t>(index)] = clamped;
        if (index == kOptPageWidth || index == kOptPageHeight) {
            clampAreaToPage();
            flags |= SANE_INFO_RELOAD_OPTIONS;
        }
        if (index != kOptBrightness && index != kOptContrast && index != kOptThreshold) flags |= SANE_INFO_RELOAD_PARAMS;
    } else {
        return SANE_STATUS_INVAL;
    }
    if (info != nullptr) *info = flags;
    return SANE_STATUS_GOOD;
}

SANE_Status OptionSet::setAuto(int, SANE_Int*) { return SANE_STATUS_INVAL; }

void OptionSet::clampAreaToPage() {
    // The scan area lies on the page: a smaller page pulls the area's edges in with it.
    const SANE_Word width = words_[kOptPageWidth];
    const SANE_Word height = words_[kOptPageHeight];
    for (int index : {kOptTlX, kOptBrX}) words_[index] = std::min(words_[index], width);
    for (int index : {kOptTlY, kOptBrY}) words_[index] = std::min(words_[index], height);
}

ScanWindow OptionSet::window() const {
    ScanWindow w;
    w.lineart = mode_ == SANE_VALUE_SCAN_MODE_LINEART;
    w.resolution = resolution_;
    w.brightness = words_[kOptBrightness];
    w.contrast = words_[kOptContrast];
    w.threshold = words_[kOptThreshold];
    // The paper guide centres the page on the bed; the area is measured from its corner.
    const pa::BedWindow page = pa::CentredSheet(SANE_UNFIX(words_[kOptPageWidth]), SANE_UNFIX(words_[kOptPageHeight]));
    auto span = [](int32_t a, int32_t b, int32_t limit, int32_t& low, int32_t& high) {
        // The corners in either order (a frontend may set br before tl).
        low = std::clamp(std::min(a, b), 0, limit);
        high = std::clamp(std::max(a, b), 0, limit);
        // Never narrower than the driver can scan; grown to the right (or left at the edge).
        if (high - low < pa::kMinWindowPixels) {
            high = std::min(limit, low + pa::kMinWindowPixels);
            low = high - pa::kMinWindowPixels;
        }
    };
    int32_t left = 0, right = 0, top = 0, bottom = 0;
    span(MmToPixels(words_[kOptTlX]), MmToPixels(words_[kOptBrX]), page.width(), left, right);
    span(MmToPixels(words_[kOptTlY]), MmToPixels(words_[kOptBrY]), page.height(), top, bottom);
    w.bed = pa::EvenForEnlargement(pa::BedWindow{page.left + left, page.top + top, page.left + right, page.top + bottom});
    return w;
}

}  // namespace mirt::sane_backend
