// Recognising the job of a work file from its name.
#include "driver/engine/work_file_job.h"

#include <algorithm>
#include <cctype>

namespace ordavel::engine {

namespace {

bool SameLetter(char a, char b) {
    return std::tolower(static_cast<unsigned char>(a)) == std::tolower(static_cast<unsigned char>(b));
}

}  // namespace

bool WorkFileNames(std::string_view path, std::string_view marker) {
    // Only the file's own name counts: a temporary directory whose name happens to contain a
    // marker must not turn every job into that one.
    const std::string_view name = WorkFileName(path);
    return std::search(name.begin(), name.end(), marker.begin(), marker.end(), SameLetter) != name.end();
}

ScanJob JobOfWorkFile(std::string_view path) {
    if (WorkFileNames(path, kProbeMarker)) return ScanJob::Probe;
    if (WorkFileNames(path, kComputeMarker)) return ScanJob::Compute;
    if (WorkFileNames(path, kSheetMarker)) return ScanJob::Sheet;
    return ScanJob::Other;
}

std::string_view WorkFileName(std::string_view path) {
    const std::size_t slash = path.find_last_of("/\\");
    return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

}  // namespace ordavel::engine
