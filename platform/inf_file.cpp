// INF text parsing.
#include "platform/inf_file.h"

#include <map>

#include "platform/setup_errors.h"

namespace ordavel::platform {

namespace {

// The longest section name the set-up interface accepts.
constexpr std::size_t kMaxSectionName = 255;

char Lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\v' || c == '\f' || c == '\r'; }

std::string_view Trim(std::string_view s) {
    while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
    while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
    return s;
}

std::string LowerCopy(std::string_view s) {
    std::string out(s);
    for (char& c : out) c = Lower(c);
    return out;
}

// One piece of a field as written: quoted text is taken literally, unquoted text is trimmed at
// the field's ends and gets %string% substitution.
struct Piece {
    std::string text;
    bool quoted = false;
};
using RawField = std::vector<Piece>;

struct RawLine {
    std::optional<RawField> key;
    std::vector<RawField> fields;
    uint32_t number = 0;
};

// Splits one logical line (comments already cut) into key and fields. An unbalanced quote runs
// to the end of the line.
RawLine SplitLine(std::string_view text, uint32_t number) {
    RawLine line;
    line.number = number;
    std::vector<RawField> fields(1);
    bool keySeen = false;
    std::size_t i = 0;
    while (i < text.size()) {
        const char c = text[i];
        if (c == '"') {
            std::string quoted;
            ++i;
            while (i < text.size()) {
                if (text[i] == '"') {
                    if (i + 1 < text.size() && text[i + 1] == '"') {
                        quoted += '"';
                        i += 2;
                        continue;
                    }
                    ++i;
                    break;
                }
                quoted += text[i++];
            }
            fields.back().push_back({std::move(quoted), true});
            continue;
        }
        if (c == '=' && !keySeen && fields.size() == 1) {
            keySeen = true;
            line.key = std::move(fields.back());
            fields.back().clear();
            ++i;
            continue;
        }
        if (c == ',') {
            fields.emplace_back();
            ++i;
            continue;
        }
        if (fields.back().empty() || fields.back().back().quoted) fields.back().push_back({"", false});
        fields.back().back().text += c;
        ++i;
    }
    line.fields = std::move(fields);
    // A line that is only blanks has no fields at all.
    if (!line.key && line.fields.size() == 1) {
        bool empty = true;
        for (const auto& p : line.fields[0]) empty = empty && (p.quoted ? false : Trim(p.text).empty());
        if (empty) line.fields.clear();
    }
    return line;
}

// Replaces %name% in unquoted text with the [Strings] value; "%%" is a percent sign; an unknown
// name stays as written.
std::string Substitute(std::string_view text, const std::map<std::string, std::string>& strings) {
    std::string out;
    std::size_t i = 0;
    while (i < text.size()) {
        if (text[i] != '%') {
            out += text[i++];
            continue;
        }
        const auto close = text.find('%', i + 1);
        if (close == std::string_view::npos) {
            out.append(text.substr(i));
            break;
        }
        const std::string_view name = text.substr(i + 1, close - i - 1);
        if (name.empty()) {
            out += '%';
        } else if (auto it = strings.find(LowerCopy(name)); it != strings.end()) {
            out += it->second;
        } else {
            out.append(text.substr(i, close - i + 1));
        }
        i = close + 1;
    }
    return out;
}

std::string Resolve(const RawField& field, const std::map<std::string, std::string>* strings) {
    // Blanks around the field (outside quotes) do not count.
    std::size_t first = 0, last = field.size();
    std::string out;
    for (std::size_t k = first; k < last; ++k) {
        const Piece& p = field[k];
        if (p.quoted) {
            out += p.text;
            continue;
        }
        std::string_view t = p.text;
        if (k == 0) {
            while (!t.empty() && IsBlank(t.front())) t.remove_prefix(1);
        }
        if (k + 1 == last) {
            while (!t.empty() && IsBlank(t.back())) t.remove_suffix(1);
        }
        out += strings != nullptr ? Substitute(t, *strings) : std::string(t);
    }
    return out;
}

struct RawSection {
    std::string name;
    std::vector<RawLine> lines;
};

void SetError(uint32_t* errorCode, uint32_t* errorLine, uint32_t code, uint32_t line) {
    if (errorCode != nullptr) *errorCode = code;
    if (errorLine != nullptr) *errorLine = line;
}

}  // namespace

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (Lower(a[i]) != Lower(b[i])) return false;
    }
    return true;
}

std::optional<InfFile> InfFile::Parse(std::string_view text, uint32_t* errorCode, uint32_t* errorLine) {
    if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);
    std::vector<RawSection> raw;
    std::string logical;
    uint32_t number = 0, logicalStart = 0;
    std::size_t pos = 0;
    bool more = !text.empty();
    while (more) {
        auto end = text.find('\n', pos);
        if (end == std::string_view::npos) {
            end = text.size();
            more = false;
        }
        std::string_view physical = text.substr(pos, end - pos);
        pos = end + 1;
        ++number;
        if (logical.empty()) logicalStart = number;
        // Cut the comment: a ';' outside quotes.
        bool inQuote = false;
        std::size_t cut = physical.size();
        for (std::size_t i = 0; i < physical.size(); ++i) {
            if (physical[i] == '"') inQuote = !inQuote;
            if (physical[i] == ';' && !inQuote) {
                cut = i;
                break;
            }
        }
        std::string_view content = physical.substr(0, cut);
        // A final backslash (outside a comment) joins the next line.
        std::string_view trimmedEnd = content;
        while (!trimmedEnd.empty() && IsBlank(trimmedEnd.back())) trimmedEnd.remove_suffix(1);
        if (!trimmedEnd.empty() && trimmedEnd.back() == '\\' && more) {
            logical.append(trimmedEnd.substr(0, trimmedEnd.size() - 1));
            continue;
        }
        logical.append(content);
        const std::string_view t = Trim(logical);
        if (!t.empty() && t.front() == '[') {
            const auto close = t.find(']');
            if (close == std::string_view::npos) {
                SetError(errorCode, errorLine, setup_error::kBadSectionNameLine, logicalStart);
                return std::nullopt;
            }
            const std::string_view name = Trim(t.substr(1, close - 1));
            if (name.size() > kMaxSectionName) {
                SetError(errorCode, errorLine, setup_error::kSectionNameTooLong, logicalStart);
                return std::nullopt;
            }
            raw.push_back({std::string(name), {}});
        } else if (!t.empty()) {
            if (raw.empty()) {
                SetError(errorCode, errorLine, setup_error::kExpectedSectionName, logicalStart);
                return std::nullopt;
            }
            RawLine line = SplitLine(t, logicalStart);
            if (line.key || !line.fields.empty()) raw.back().lines.push_back(std::move(line));
        }
        logical.clear();
    }

    // [Strings] first (its values are taken as written), then every section substituted.
    std::map<std::string, std::string> strings;
    for (const auto& s : raw) {
        if (!EqualsIgnoringCase(s.name, "Strings")) continue;
        for (const auto& l : s.lines) {
            if (!l.key) continue;
            const std::string key = LowerCopy(Resolve(*l.key, nullptr));
            if (strings.count(key) == 0) strings[key] = l.fields.empty() ? "" : Resolve(l.fields[0], nullptr);
        }
    }
    InfFile inf;
    for (auto& s : raw) {
        Section* target = nullptr;
        for (auto& existing : inf.sections_) {
            if (EqualsIgnoringCase(existing.name, s.name)) target = &existing;
        }
        if (target == nullptr) {
            inf.sections_.push_back({s.name, {}});
            target = &inf.sections_.back();
        }
        const bool isStrings = EqualsIgnoringCase(s.name, "Strings");
        for (const auto& l : s.lines) {
            Line line;
            line.number = l.number;
            if (l.key) line.key = Resolve(*l.key, isStrings ? nullptr : &strings);
            for (const auto& f : l.fields) line.fields.push_back(Resolve(f, isStrings ? nullptr : &strings));
            target->lines.push_back(std::move(line));
        }
    }
    return inf;
}

const InfFile::Section* InfFile::section(std::string_view name) const {
    for (const auto& s : sections_) {
        if (EqualsIgnoringCase(s.name, name)) return &s;
    }
    return nullptr;
}

std::optional<std::string> InfFile::value(std::string_view sectionName, std::string_view key) const {
    const Section* s = section(sectionName);
    if (s == nullptr) return std::nullopt;
    for (const auto& line : s->lines) {
        if (line.key && EqualsIgnoringCase(*line.key, key)) return line.fields.empty() ? "" : line.fields[0];
    }
    return std::nullopt;
}

bool InfFile::isWin4Style() const {
    const auto signature = value("Version", "Signature");
    if (!signature) return false;
    return EqualsIgnoringCase(*signature, "$Windows NT$") || EqualsIgnoringCase(*signature, "$Chicago$") ||
           EqualsIgnoringCase(*signature, "$Windows 95$");
}

std::optional<std::string> InfFile::Field(const Line& line, uint32_t index) {
    if (index == 0) {
        if (line.key) return *line.key;
        return line.fields.empty() ? std::string() : line.fields[0];
    }
    if (index > line.fields.size()) return std::nullopt;
    return line.fields[index - 1];
}

}  // namespace ordavel::platform
