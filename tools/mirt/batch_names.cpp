// Batch file names and the output directory.
#include "tools/mirt/batch_names.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <system_error>

namespace mirt {

namespace fs = std::filesystem;

namespace {

std::string Reason(int error) { return std::generic_category().message(error); }

// The pattern's file name split around its number: text before, the conversion, text after
// (with "%%" already turned into "%").
struct FileNamePattern {
    std::string before;
    std::string conversion;
    std::string after;
};

bool SplitFileName(const std::string& name, FileNamePattern& out, std::string& error) {
    out = {};
    bool seen = false;
    for (std::size_t i = 0; i < name.size(); ++i) {
        if (name[i] != '%') {
            (seen ? out.after : out.before) += name[i];
            continue;
        }
        if (i + 1 < name.size() && name[i + 1] == '%') {
            (seen ? out.after : out.before) += '%';
            ++i;
            continue;
        }
        std::size_t j = i + 1;
        while (j < name.size() && std::isdigit(static_cast<unsigned char>(name[j]))) ++j;
        if (j >= name.size() || name[j] != 'd' || j - i > 4) {
            error = "the name pattern may hold only %d, %Nd or %0Nd (and %% for a per cent sign)";
            return false;
        }
        if (seen) {
            error = "the name pattern must hold one number, not two";
            return false;
        }
        seen = true;
        out.conversion = name.substr(i, j - i + 1);
        i = j;
    }
    if (!seen) {
        error = "the name pattern must hold a number such as %03d, so that pages get names of their own";
        return false;
    }
    return true;
}

fs::path DirectoryOf(const std::string& pattern) {
    const fs::path parent = fs::path(pattern).parent_path();
    return parent.empty() ? fs::path(".") : parent;
}

}  // namespace

bool CheckNamePattern(const std::string& pattern, std::string& error) {
    const fs::path path(pattern);
    if (path.filename().empty()) {
        error = "the name pattern " + pattern + " names a directory, not files";
        return false;
    }
    if (path.parent_path().string().find('%') != std::string::npos) {
        error = "the number belongs in the file name, not in the directory";
        return false;
    }
    FileNamePattern split;
    return SplitFileName(path.filename().string(), split, error);
}

std::string NameFor(const std::string& pattern, int number) {
    const fs::path path(pattern);
    FileNamePattern split;
    std::string ignored;
    if (!SplitFileName(path.filename().string(), split, ignored)) return pattern;
    char digits[32];
    std::snprintf(digits, sizeof digits, ("%" + split.conversion.substr(1)).c_str(), number);
    const std::string name = split.before + digits + split.after;
    return path.has_parent_path() ? (path.parent_path() / name).string() : name;
}

std::vector<int> ExistingNumbers(const std::string& pattern) {
    std::vector<int> numbers;
    FileNamePattern split;
    std::string ignored;
    if (!SplitFileName(fs::path(pattern).filename().string(), split, ignored)) return numbers;
    std::error_code ec;
    for (fs::directory_iterator it(DirectoryOf(pattern), ec), end; !ec && it != end; it.increment(ec)) {
        const std::string name = it->path().filename().string();
        if (name.size() <= split.before.size() + split.after.size()) continue;
        if (name.compare(0, split.before.size(), split.before) != 0) continue;
        if (name.compare(name.size() - split.after.size(), split.after.size(), split.after) != 0) continue;
        const std::string middle = name.substr(split.before.size(), name.size() - split.before.size() - split.after.size());
        if (middle.size() > 9 || !std::all_of(middle.begin(), middle.end(), [](char c) { return c >= '0' && c <= '9'; })) {
            continue;
        }
        numbers.push_back(std::stoi(middle));
    }
    std::sort(numbers.begin(), numbers.end());
    return numbers;
}

bool ChooseFirstNumber(const std::string& pattern, std::optional<int> start, int& first, std::string& error) {
    const std::vector<int> existing = ExistingNumbers(pattern);
    if (!start) {
        first = existing.empty() ? 1 : existing.back() + 1;
        return true;
    }
    if (*start < 0) {
        error = "the batch cannot start at a negative number";
        return false;
    }
    const auto clash = std::lower_bound(existing.begin(), existing.end(), *start);
    if (clash != existing.end()) {
        error = NameFor(pattern, *clash) + " exists: a batch starting at " + std::to_string(*start) +
                " would overwrite it (leave out --batch-start to continue after the last page)";
        return false;
    }
    first = *start;
    return true;
}

bool PrepareOutputDirectory(const std::string& pattern, std::string& error) {
    const fs::path directory = DirectoryOf(pattern);
    std::error_code ec;
    fs::create_directories(directory, ec);
    if (ec) {
        error = "cannot create the output directory " + directory.string() + ": " + ec.message();
        return false;
    }
    if (!fs::is_directory(directory, ec)) {
        error = "the output directory " + directory.string() + " is not a directory";
        return false;
    }
    // Writable for real (permissions, read-only mounts, full quota): a file is created and removed.
    const fs::path probe = directory / ".mirt-write-check";
    errno = 0;
    std::FILE* file = std::fopen(probe.string().c_str(), "wx");
    if (file == nullptr && errno == EEXIST) {
        fs::remove(probe, ec);
        file = std::fopen(probe.string().c_str(), "wx");
    }
    if (file == nullptr) {
        error = "cannot write into the output directory " + directory.string() + ": " + Reason(errno);
        return false;
    }
    std::fclose(file);
    fs::remove(probe, ec);
    return true;
}

bool PublishFile(const std::string& partial, const std::string& path, std::string& error) {
    std::error_code ec;
    // Checked again at the last moment: another program may have made the name meanwhile.
    if (fs::exists(path, ec)) {
        fs::remove(partial, ec);
        error = path + " appeared while scanning: not overwritten";
        return false;
    }
    fs::rename(partial, path, ec);
    if (ec) {
        error = "cannot write " + path + ": " + ec.message();
        fs::remove(partial, ec);
        return false;
    }
    return true;
}

bool WriteWholeFile(const std::string& path, const std::vector<uint8_t>& bytes, std::string& error) {
    const std::string partial = path + ".partial";
    errno = 0;
    std::FILE* file = std::fopen(partial.c_str(), "wb");
    if (file == nullptr) {
        error = "cannot write " + path + ": " + Reason(errno);
        return false;
    }
    bool ok = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    int reason = errno;
    if (std::fclose(file) != 0 && ok) {
        ok = false;
        reason = errno;
    }
    if (!ok) {
        std::error_code ec;
        fs::remove(partial, ec);
        error = "cannot write " + path + ": " + Reason(reason);
        return false;
    }
    return PublishFile(partial, path, error);
}

}  // namespace mirt
