// Comparing a text against a golden file kept in the source tree; MIRT_UPDATE_GOLDEN=1 rewrites
// the file instead.
#pragma once

#include <string>

namespace ordavel::test {

// Empty when `actual` equals the file at `sourceRelativePath` (or the file was just rewritten);
// otherwise a description of the first difference. A mismatching text is also written under
// the build folder ("golden-actual/") for inspection.
std::string CompareWithGolden(const std::string& sourceRelativePath, const std::string& actual);

}  // namespace ordavel::test
