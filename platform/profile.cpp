// Profile ("INI") file reader and writer.
#include "platform/profile.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace ordavel::platform {

namespace {

bool EqualsNoCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

std::string_view Trim(std::string_view s) {
    const char* blanks = " \t\r\n\v\f";
    const auto first = s.find_first_not_of(blanks);
    if (first == std::string_view::npos) return {};
    const auto last = s.find_last_not_of(blanks);
    return s.substr(first, last - first + 1);
}

std::vector<std::string> ReadLines(const std::string& path, bool& exists) {
    std::vector<std::string> lines;
    std::ifstream in(path, std::ios::binary);
    exists = static_cast<bool>(in);
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(std::move(line));
    }
    return lines;
}

// The section name of a "[name]" line, or nullopt for other lines.
std::optional<std::string_view> SectionName(std::string_view line) {
    std::string_view t = Trim(line);
    if (t.empty() || t.front() != '[') return std::nullopt;
    const auto close = t.find(']');
    if (close == std::string_view::npos) return std::nullopt;
    return Trim(t.substr(1, close - 1));
}

// Splits "key = value"; nullopt for lines without '=' (and comments).
std::optional<std::pair<std::string_view, std::string_view>> KeyValue(std::string_view line) {
    std::string_view t = Trim(line);
    if (t.empty() || t.front() == ';') return std::nullopt;
    const auto eq = t.find('=');
    if (eq == std::string_view::npos) return std::nullopt;
    return std::make_pair(Trim(t.substr(0, eq)), Trim(t.substr(eq + 1)));
}

bool WriteFileAtomically(const std::string& path, const std::string& content) {
    std::string tmp = path + ".XXXXXX";
    std::vector<char> name(tmp.begin(), tmp.end());
    name.push_back('\0');
    int fd = mkstemp(name.data());
    if (fd < 0) return false;
    const char* p = content.data();
    std::size_t left = content.size();
    bool ok = true;
    while (left > 0) {
        ssize_t n = ::write(fd, p, left);
        if (n <= 0) {
            ok = false;
            break;
        }
        p += n;
        left -= static_cast<std::size_t>(n);
    }
    ok = (::fsync(fd) == 0) && ok;
    ok = (::close(fd) == 0) && ok;
    // mkstemp creates owner-only files; settings files are ordinary user files.
    ::chmod(name.data(), 0644);
    if (ok && std::rename(name.data(), path.c_str()) == 0) return true;
    std::remove(name.data());
    return false;
}

}  // namespace

std::optional<std::string> ReadProfileString(const std::string& path, std::string_view section,
                                             std::string_view key) {
    bool exists = false;
    const auto lines = ReadLines(path, exists);
    bool inSection = false;
    for (const auto& line : lines) {
        if (auto name = SectionName(line)) {
            if (inSection) return std::nullopt;  // first matching section only
            inSection = EqualsNoCase(*name, section);
            continue;
        }
        if (!inSection) continue;
        if (auto kv = KeyValue(line); kv && EqualsNoCase(kv->first, key)) {
            std::string value(kv->second.substr(0, kProfileValueLimit));
            if (value.empty()) return std::nullopt;
            return value;
        }
    }
    return std::nullopt;
}

int32_t ReadProfileInt(const std::string& path, std::string_view section, std::string_view key,
                       int32_t defaultValue) {
    const auto value = ReadProfileString(path, section, key);
    if (!value) return defaultValue;
    std::size_t i = 0;
    bool negative = false;
    if (i < value->size() && ((*value)[i] == '-' || (*value)[i] == '+')) {
        negative = (*value)[i] == '-';
        ++i;
    }
    int64_t result = 0;
    for (; i < value->size() && std::isdigit(static_cast<unsigned char>((*value)[i])); ++i) {
        result = result * 10 + ((*value)[i] - '0');
        if (result > (int64_t{1} << 32)) result = int64_t{1} << 32;  // keep the 32-bit wrap defined
    }
    if (negative) result = -result;
    return static_cast<int32_t>(static_cast<uint32_t>(static_cast<uint64_t>(result)));
}

bool WriteProfileString(const std::string& path, std::string_view section, std::string_view key,
                        std::string_view value) {
    bool exists = false;
    auto lines = ReadLines(path, exists);
    const std::string entry = std::string(key) + "=" + std::string(value);

    std::size_t sectionLine = lines.size();
    std::size_t insertAt = lines.size();
    bool replaced = false;
    for (std::size_t i = 0; i < lines.size() && !replaced; ++i) {
        if (auto name = SectionName(lines[i])) {
            if (sectionLine != lines.size()) break;  // end of the matching section
            if (EqualsNoCase(*name, section)) {
                sectionLine = i;
                insertAt = i + 1;
            }
            continue;
        }
        if (sectionLine == lines.size()) continue;
        if (auto kv = KeyValue(lines[i])) {
            if (EqualsNoCase(kv->first, key)) {
                lines[i] = entry;
                replaced = true;
            } else {
                insertAt = i + 1;
            }
        }
    }
    if (!replaced) {
        if (sectionLine == lines.size()) {
            lines.push_back("[" + std::string(section) + "]");
            lines.push_back(entry);
        } else {
            lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(insertAt), entry);
        }
    }
    std::ostringstream out;
    for (const auto& line : lines) out << line << '\n';
    return WriteFileAtomically(path, out.str());
}

}  // namespace ordavel::platform
