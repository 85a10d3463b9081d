// Statistics tests use to compare a scanned image with the page's ground truth.
#pragma once

#include <vector>

namespace ordavel::test {

// Pearson correlation of two equally long samples (1 for identical shapes, 0 for unrelated).
double Correlation(const std::vector<double>& a, const std::vector<double>& b);

}  // namespace ordavel::test
