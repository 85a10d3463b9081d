// Reading scanimage's images and comparing them with the page.
#include "tests/sane/scanned_image.h"

#include <algorithm>
#include <cmath>
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

double PageAgreement(const GreyImage& scan, const std::string& pageName, BedPlacement where) {
    const auto page = virtual_scanner::MakeBuiltinPage(pageName);
    if (!page || scan.empty()) return 0;
    // The reference scanner: 200 dpi, sheets centred on bed pixel 840, the first line of a
    // sheet at the ready position at the page's top.
    constexpr double kDpi = 200;
    constexpr double kPaperCentre = 840;
    constexpr int kStep = 6;
    double best = 0;
    for (int offset = -60; offset <= 60; offset += 2) {
        std::vector<double> scanned, truth;
        for (int y = 0; y < scan.height; y += kStep) {
            const double yInches = (y / where.scale + 0.5 + offset) / kDpi;
            if (yInches < 0 || yInches > page->heightInches() - 1.0) continue;
            for (int x = 0; x < scan.width; x += kStep) {
                const double bedX = where.left + (x + 0.5) / where.scale;
                const double xInches = page->widthInches() / 2 + (bedX - kPaperCentre) / kDpi;
                if (!page->contains(xInches, yInches)) continue;
                scanned.push_back(scan.at(x, y));
                truth.push_back(page->reflectance(xInches, yInches, virtual_scanner::Channel::Blue));
            }
        }
        if (scanned.size() >= 1000) best = std::max(best, Correlation(scanned, truth));
    }
    return best;
}

}  // namespace ordavel::test
