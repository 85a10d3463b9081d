// One description key row at a time: the parser walks the key table and calls ApplyKeyRow.
#include "driver/description/key_rows.h"

#include <cstring>
#include <string_view>

#include "driver/description/description_loader.h"
#include "driver/description/value_syntax.h"
#include "driver/device/status_report.h"
#include "driver/interface/driver_context.h"

namespace ordavel::description {

namespace {

// The converted value of a row, whichever kind it is.
struct RowValue {
    std::string cleaned;
    int32_t integer = 0;
    double number = 0.0;
    int32_t matchIndex = 0;
};

std::size_t WordCount(const KeyRow& row) {
    std::size_t n = 0;
    while (n < row.words.size() && row.words[n] != nullptr) ++n;
    return n;
}

// A key's value in one section; values are C strings to the parser, so an embedded NUL ends
// the value (and a value that is empty then counts as absent).
std::optional<std::string> ValueIn(const platform::ProfileFile& file, std::string_view section, const char* key) {
    std::optional<std::string> value = file.value(section, key);
    if (value) value->resize(std::strlen(value->c_str()));
    if (value && value->empty()) value.reset();
    return value;
}

std::optional<std::string> LookUp(const KeyRow& row, const platform::ProfileFile& file,
                                  const std::optional<std::string>& overrideSection) {
    std::optional<std::string> value;
    if (overrideSection) value = ValueIn(file, *overrideSection, row.key);
    if (!value) value = ValueIn(file, row.section, row.key);
    return value;
}

bool ReportWordList(DriverContext& ctx, const KeyRow& row) {
    std::string words;
    for (std::size_t i = 0; i < WordCount(row); ++i) words += std::string(row.words[i]) + " ";
    device::Report(ctx, "%s must be: %s", row.key, words.c_str());
    return false;
}

bool ReportRange(DriverContext& ctx, const KeyRow& row) {
    device::Report(ctx, "%s must be >= %s AND <= %s", row.key, row.words[0] ? row.words[0] : "",
                   row.words[1] ? row.words[1] : "");
    return false;
}

bool Convert(DriverContext& ctx, const KeyRow& row, RowValue& v) {
    switch (row.kind) {
        case KeyKind::IntChoice:
        case KeyKind::IntRange:
            if (!ParseIntValue(v.cleaned.c_str(), v.integer)) {
                device::Report(ctx, "%s= invalid decimal value", row.key);
                return false;
            }
            return true;
        case KeyKind::FloatRange:
            if (!ParseFloatValue(v.cleaned.c_str(), v.number)) {
                device::Report(ctx, "%s= invalid float value", row.key);
                return false;
            }
            return true;
        case KeyKind::Text:
        case KeyKind::Choice:
            return true;
    }
    return true;
}

// Text, Choice and IntChoice: the first word of the list that matches gives the match index.
bool MatchWordList(DriverContext& ctx, const KeyRow& row, RowValue& v) {
    const std::size_t count = WordCount(row);
    const std::string_view first = FirstWord(v.cleaned);
    for (std::size_t i = 0; i < count; ++i) {
        bool match = false;
        if (row.kind == KeyKind::Text) {
            match = EqualsNoCase(v.cleaned, row.words[i]);
        } else if (row.kind == KeyKind::Choice) {
            match = EqualsNoCase(first, row.words[i]);
        } else {
            int32_t word = 0;
            match = ParseIntValue(row.words[i], word) && word == v.integer;
        }
        if (match) {
            v.matchIndex = static_cast<int32_t>(i);
            return true;
        }
    }
    // Only a Choice must always match; Text and IntChoice rows without words accept anything.
    if (row.kind != KeyKind::Choice && count == 0) return true;
    return ReportWordList(ctx, row);
}

bool CheckIntRange(DriverContext& ctx, const KeyRow& row, const RowValue& v) {
    int32_t low = 0, high = 0;
    if (!ParseIntValue(row.words[0], low) || !ParseIntValue(row.words[1], high) || v.integer < low ||
        v.integer > high) {
        return ReportRange(ctx, row);
    }
    return true;
}

bool CheckFloatRange(DriverContext& ctx, const KeyRow& row, const RowValue& v) {
    double low = 0.0, high = 0.0;
    if (!ParseFloatValue(row.words[0], low) || !ParseFloatValue(row.words[1], high) || v.number < low ||
        v.number > high) {
        return ReportRange(ctx, row);
    }
    return true;
}

bool Validate(DriverContext& ctx, const KeyRow& row, RowValue& v) {
    switch (row.kind) {
        case KeyKind::Text:
        case KeyKind::Choice:
        case KeyKind::IntChoice:
            return MatchWordList(ctx, row, v);
        case KeyKind::IntRange:
            return CheckIntRange(ctx, row, v);
        case KeyKind::FloatRange:
            return CheckFloatRange(ctx, row, v);
    }
    return false;
}

struct StoreValue {
    ScannerDescription& d;
    const KeyRow& row;
    const RowValue& v;

    void operator()(int32_t ScannerDescription::*field) const {
        d.*field = row.kind == KeyKind::Choice ? v.matchIndex : v.integer;
    }
    void operator()(double ScannerDescription::*field) const { d.*field = v.number; }
    void operator()(char (ScannerDescription::*field)[kTextFieldSize]) const {
        char* out = d.*field;
        const std::size_t n = std::min(v.cleaned.size(), std::size_t{kTextFieldSize - 1});
        std::memcpy(out, v.cleaned.data(), n);
        std::memset(out + n, 0, kTextFieldSize - n);
    }
};

}  // namespace

bool RowAppliesToChip(const KeyRow& row, int32_t chip) {
    if (chip < 0 || chip > 7) return false;
    return ((row.chips >> chip) & 1) != 0;
}

bool ApplyKeyRow(DriverContext& ctx, const KeyRow& row, const platform::ProfileFile& file,
                 const std::optional<std::string>& overrideSection) {
    const auto raw = LookUp(row, file, overrideSection);
    if (!raw) {
        device::Report(ctx, "%s= missing", row.key);
        return false;
    }
    RowValue v;
    v.cleaned = CleanValue(*raw);
    if (FirstWord(v.cleaned).empty()) {
        device::Report(ctx, "%s= missing value", row.key);
        return false;
    }
    if (!Convert(ctx, row, v) || !Validate(ctx, row, v)) return false;
    std::visit(StoreValue{ctx.description, row, v}, row.field);
    return true;
}

}  // namespace ordavel::description
