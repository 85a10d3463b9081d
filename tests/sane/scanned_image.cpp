// Reading scanimage's images and comparing them with the page.
#include "tests/sane/scanned_image.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <sstream>

#include "tests/support/image_stats.h"
#include "virtual/builtin_pages.h"
#include "virtual/png_page.h"

namespace ordavel::test {

double GreyImage::mean(int x0, int y0, int x1, int y1) const {
    x0 = std::clamp(x0, 0, width), x1 = std::clamp(x1, 0, width);
    y0 = std::clamp(y0, 0, height), y1 = std::clamp(y1, 0, height);
    double sum = 0;
    long count = 0;
    for (int y = y0; y < y1; ++y) {
        for (int x = x0; x < x1; ++x, ++count) sum += at(x, y);
    }
    return count == 0 ? -1 : sum / count;
}

GreyImage ParsePnm(const std::string& bytes) {
    GreyImage image;
    std::istringstream in(bytes);
    std::string magic;
    in >> magic;
    auto number = [&in]() {
        // Header fields, with the comments scanimage may write between them.
        in >> std::ws;
        while (in.peek() == '#') {
            std::string comment;
            std::getline(in, comment);
            in >> std::ws;
        }
        int value = -1;
        in >> value;
        return value;
    };
    const bool lineart = magic == "P4";
    if (!lineart && magic != "P5") return {};
    const int width = number(), height = number();
    const int maxval = lineart ? 1 : number();
    in.get();  // the one white-space byte before the data
    if (width <= 0 || height <= 0 || (!lineart && maxval != 255)) return {};
    const std::size_t rowBytes = lineart ? static_cast<std::size_t>(width + 7) / 8 : static_cast<std::size_t>(width);
    const std::size_t start = static_cast<std::size_t>(in.tellg());
    if (bytes.size() != start + rowBytes * height) return {};
    image.width = width, image.height = height, image.maxval = maxval;
    image.pixels.resize(static_cast<std::size_t>(width) * height);
    for (int y = 0; y < height; ++y) {
        const auto* row = reinterpret_cast<const uint8_t*>(bytes.data() + start + rowBytes * y);
        for (int x = 0; x < width; ++x) {
            // PBM: a set bit is black.
            const uint8_t v = lineart ? (((row[x / 8] >> (7 - x % 8)) & 1) != 0 ? 0 : 255) : row[x];
            image.pixels[static_cast<std::size_t>(y) * width + x] = v;
        }
    }
    return image;
}

GreyImage ReadPng(const std::string& path) {
    // The model's own reader: a pixel of value v is reflectance v / 255 over the whole pixel.
    constexpr double kDpi = 100;
    std::string error;
    const auto page = virtual_scanner::LoadPngPage(path, kDpi, error);
    if (!page) return {};
    GreyImage image;
    image.width = static_cast<int>(std::lround(page->widthInches() * kDpi));
    image.height = static_cast<int>(std::lround(page->heightInches() * kDpi));
    image.maxval = 255;
    image.pixels.resize(static_cast<std::size_t>(image.width) * image.height);
    for (int y = 0; y < image.height; ++y) {
        for (int x = 0; x < image.width; ++x) {
            const double r = page->reflectance((x + 0.5) / kDpi, (y + 0.5) / kDpi, virtual_scanner::Channel::Green);
            image.pixels[static_cast<std::size_t>(y) * image.width + x] = static_cast<uint8_t>(std::lround(r * 255));
        }
    }
    return image;
}

namespace {

// The reference scanner: 200 dpi, sheets centred on bed pixel 840.
constexpr double kDpi = 200;
constexpr double kPaperCentre = 840;

// A page's reflectance at the centre of every 200 dpi pixel, rendered once per page.
struct TruthRaster {
    int columns = 0;
    int rows = 0;
    std::vector<float> values;
    float at(int c, int r) const { return values[static_cast<std::size_t>(r) * columns + c]; }
};

const TruthRaster* Truth(const std::string& pageName) {
    static std::map<std::string, TruthRaster> rendered;
    if (auto found = rendered.find(pageName); found != rendered.end()) return &found->second;
    const auto page = virtual_scanner::MakeBuiltinPage(pageName);
    if (!page) return nullptr;
    TruthRaster truth;
    truth.columns = static_cast<int>(page->widthInches() * kDpi);
    truth.rows = static_cast<int>(page->heightInches() * kDpi);
    truth.values.resize(static_cast<std::size_t>(truth.columns) * truth.rows);
    for (int r = 0; r < truth.rows; ++r) {
        page->sampleRow((r + 0.5) / kDpi, 0.5 / kDpi, 1 / kDpi, truth.columns, virtual_scanner::Channel::Blue,
                        truth.values.data() + static_cast<std::size_t>(r) * truth.columns);
    }
    return &rendered.emplace(pageName, std::move(truth)).first->second;
}

}  // namespace

double PageAgreement(const GreyImage& scan, const std::string& pageName, BedPlacement where) {
    const TruthRaster* truth = Truth(pageName);
    if (truth == nullptr || scan.empty()) return 0;
    // Each inch of the sheet is aligned at its own best vertical offset (a fed sheet lands within
    // the feed's poll latency, and the motor's pauses shift later lines by a line or two); the
    // aligned points of all inches are then judged together.
    constexpr int kStep = 6;
    constexpr int kBandLines = 200;
    const int lastRow = truth->rows - static_cast<int>(kDpi);  // the bottom inch is left out
    const double pageLeft = truth->columns / 2.0 - kPaperCentre;
    std::vector<double> allScanned, allExpected;
    const int scanLines = static_cast<int>(scan.height / where.scale);
    for (int band = 0; band * kBandLines < scanLines; ++band) {
        double best = -2;
        std::vector<double> bestScanned, bestExpected;
        int bestOffset = 0;
        const int y0 = static_cast<int>(band * kBandLines * where.scale);
        const int y1 = std::min(scan.height, static_cast<int>((band + 1) * kBandLines * where.scale));
        auto tryOffset = [&](int offset) {
            std::vector<double> scanned, expected;
            for (int y = y0; y < y1; y += kStep) {
                const int row = static_cast<int>(std::floor(where.top + (y + 0.5) / where.scale)) + offset;
                if (row < 0 || row >= lastRow) continue;
                for (int x = 0; x < scan.width; x += kStep) {
                    const int column = static_cast<int>(std::floor(pageLeft + where.left + (x + 0.5) / where.scale));
                    if (column < 0 || column >= truth->columns) continue;
                    scanned.push_back(scan.at(x, y));
                    expected.push_back(truth->at(column, row));
                }
            }
            if (scanned.size() < 200) return;
            const double c = Correlation(scanned, expected);
            if (c > best) {
                best = c;
                bestOffset = offset;
                bestScanned = std::move(scanned);
                bestExpected = std::move(expected);
            }
        };
        // Coarse steps over the whole range, then every line around the best of them.
        for (int offset = -60; offset <= 60; offset += 4) tryOffset(offset);
        const int coarse = bestOffset;
        for (int offset = coarse - 3; offset <= coarse + 3; ++offset) tryOffset(offset);
        allScanned.insert(allScanned.end(), bestScanned.begin(), bestScanned.end());
        allExpected.insert(allExpected.end(), bestExpected.begin(), bestExpected.end());
    }
    return allScanned.size() < 1000 ? 0 : Correlation(allScanned, allExpected);
}

}  // namespace ordavel::test
