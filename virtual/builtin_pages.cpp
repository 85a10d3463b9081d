// Drawing the built-in pages.
#include "virtual/builtin_pages.h"

#include <algorithm>

#include <cstdio>
#include <random>

#include "virtual/shape_page.h"

namespace ordavel::virtual_scanner {

namespace {

constexpr double kChartWidth = 8.27;  // A4: narrower than the 8.4 inch imaging width
constexpr double kChartHeight = 11.69;

void drawCornerMarks(ShapePage& page, const ChartMarks& m) {
    const double inset = 0.25, arm = 0.5, stroke = 0.03;
    const double w = page.widthInches(), h = page.heightInches();
    // L-shaped marks hugging each corner.
    page.addRect(inset, inset, inset + arm, inset + stroke, kInkBlack);
    page.addRect(inset, inset, inset + stroke, inset + arm, kInkBlack);
    page.addRect(w - inset - arm, inset, w - inset, inset + stroke, kInkBlack);
    page.addRect(w - inset - stroke, inset, w - inset, inset + arm, kInkBlack);
    page.addRect(inset, h - inset - stroke, inset + arm, h - inset, kInkBlack);
    page.addRect(inset, h - inset - arm, inset + stroke, h - inset, kInkBlack);
    page.addRect(w - inset - arm, h - inset - stroke, w - inset, h - inset, kInkBlack);
    page.addRect(w - inset - stroke, h - inset - arm, w - inset, h - inset, kInkBlack);
    // Solid squares whose centres locate the page precisely.
    const double half = m.squareSize / 2;
    for (double cx : {m.left, m.right}) {
        for (double cy : {m.top, m.bottom}) page.addRect(cx - half, cy - half, cx + half, cy + half, kInkBlack);
    }
    // Centre ticks at the top and bottom edges, for lateral placement.
    page.addRect(w / 2 - 0.015, 0.1, w / 2 + 0.015, 0.4, kInkBlack);
    page.addRect(w / 2 - 0.015, h - 0.4, w / 2 + 0.015, h - 0.1, kInkBlack);
}

void drawGreyScales(ShapePage& page, const ChartMarks& m) {
    Shape ramp;
    ramp.kind = Shape::Kind::RampAcross;
    ramp.x0 = m.rampX0, ramp.x1 = m.rampX1, ramp.y0 = m.rampY0, ramp.y1 = m.rampY1;
    ramp.value0 = m.rampStart, ramp.value1 = m.rampEnd;
    page.add(ramp);
    // Twelve grey steps from ink to paper white.
    for (int i = 0; i < 12; ++i) {
        const double x0 = 0.75 + i * 0.55;
        const float v = kInkBlack + (kPaperWhite - kInkBlack) * static_cast<float>(i) / 11.0f;
        page.addRect(x0, 1.85, x0 + 0.5, 2.35, v);
    }
    // Solid black, a brighter-than-paper white patch in a black frame, and a mid grey.
    page.addRect(m.blackX0, m.patchY0, m.blackX1, m.patchY1, kInkBlack);
    page.addRect(2.6, m.patchY0, 4.1, m.patchY1, kInkBlack);
    page.addRect(2.65, m.patchY0 + 0.05, 4.05, m.patchY1 - 0.05, 0.97f);
    page.addRect(4.45, m.patchY0, 5.95, m.patchY1, 0.45f);
}

void drawLinePairs(ShapePage& page) {
    const double frequencies[] = {5, 10, 25, 50};  // line pairs per inch
    for (int g = 0; g < 4; ++g) {
        const double gx = 0.75 + g * 1.75, width = 1.5;
        const double period = 1.0 / frequencies[g];
        // Bars across the sheet: they resolve along the sensor line.
        for (double x = gx; x + period / 2 <= gx + width + 1e-9; x += period) {
            page.addRect(x, 4.0, x + period / 2, 4.8, kInkBlack);
        }
        // Bars along the paper travel: they resolve with the motor's line pitch.
        for (double y = 5.1; y + period / 2 <= 5.9 + 1e-9; y += period) {
            page.addRect(gx, y, gx + width, y + period / 2, kInkBlack);
        }
        char label[16];
        std::snprintf(label, sizeof label, "%d LP", static_cast<int>(frequencies[g]));
        page.addText(gx, 6.0, label, 0.015, kInkBlack);
    }
}

std::string pseudoWord(std::mt19937& rng) {
    std::uniform_int_distribution<int> length(2, 9), letter(0, 25);
    std::string word(static_cast<std::size_t>(length(rng)), 'A');
    for (char& c : word) c = static_cast<char>('A' + letter(rng));
    return word;
}

void drawFineText(ShapePage& page) {
    std::mt19937 rng(20261208);
    const double cell = 0.012;  // one dot; a glyph is 0.06 × 0.084 inch
    for (double y = 6.35; y + 7 * cell <= 10.9; y += 0.15) {
        std::string line;
        while (line.size() < 100) line += pseudoWord(rng) + " ";
        page.addText(0.75, y, line.substr(0, 100), cell, kInkBlack);
    }
}

std::shared_ptr<const Page> makeChart() {
    auto page = std::make_shared<ShapePage>("chart", kChartWidth, kChartHeight, kPaperWhite);
    const ChartMarks m = TestChartMarks();
    drawCornerMarks(*page, m);
    page->addText(0.75, 0.55, "MIRT TEST CHART", 0.03, kInkBlack);
    drawGreyScales(*page, m);
    drawLinePairs(*page);
    drawFineText(*page);
    return page;
}

std::shared_ptr<const Page> makeTicket() {
    constexpr float kStock = 0.86f, kInk = 0.05f;
    const double w = 3.25, h = 7.0;
    auto page = std::make_shared<ShapePage>("ticket", w, h, kStock);
    page->addFrame(0.1, 0.1, w - 0.1, h - 0.1, 0.03, kInk);
    page->addRect(0.2, 0.25, w - 0.2, 0.75, kInk);
    page->addText(0.35, 0.38, "ADMIT ONE", 0.035, kStock);
    const char* lines[] = {"EVENT: CONCERT", "DATE: 2026-12-08", "TIME: 19:30", "ROW 12 SEAT 34", "PRICE 45.00"};
    double y = 1.05;
    for (const char* text : lines) {
        page->addText(0.3, y, text, 0.02, kInk);
        y += 0.3;
    }
    page->addFrame(0.3, 2.7, w - 0.3, 4.4, 0.02, kInk);
    page->addText(0.575, 3.375, "SEAT 34", 0.05, kInk);
    for (double x = 0.15; x < w - 0.15; x += 0.12) page->addRect(x, 4.75, x + 0.06, 4.77, kInk);  // tear line
    std::mt19937 rng(4242);
    std::uniform_int_distribution<int> units(1, 3);
    for (double x = 0.3; x < w - 0.4;) {  // a barcode of 1 to 3 unit bars and gaps
        const double bar = 0.01 * units(rng), gap = 0.01 * units(rng);
        page->addRect(x, 5.0, x + bar, 6.0, kInk);
        x += bar + gap;
    }
    page->addText(0.3, 6.25, "NO 0001234567", 0.02, kInk);
    return page;
}

// A letter-sized business document: letterhead bar, address block, paragraphs of text-like
// lines of varying length, a small table and a signature line.
std::shared_ptr<const Page> makeDocument() {
    const double w = 8.5, h = 11.0;
    auto page = std::make_shared<ShapePage>("document", w, h, kPaperWhite);
    page->addRect(0.75, 0.6, w - 0.75, 0.9, kInkBlack);
    page->addText(0.9, 0.67, "MIRT SUPPLY CO", 0.025, kPaperWhite);
    const char* address[] = {"ACCOUNTS DEPT", "12 HARBOUR ROAD", "PORT TOWN 4410"};
    double y = 1.3;
    for (const char* text : address) {
        page->addText(0.9, y, text, 0.018, kInkBlack);
        y += 0.2;
    }
    page->addText(5.6, 1.3, "2026-12-08", 0.018, kInkBlack);
    page->addText(0.9, 2.2, "INVOICE NO 20261208", 0.025, kInkBlack);
    std::mt19937 rng(1208);
    std::uniform_real_distribution<double> length(4.0, 6.9);
    y = 2.7;
    for (int paragraph = 0; paragraph < 3; ++paragraph) {
        for (int line = 0; line < 5; ++line) {
            // Text-like lines: runs of short dark words of x-height strokes.
            const double end = 0.9 + (line == 4 ? length(rng) * 0.5 : length(rng));
            for (double x = 0.9; x < end;) {
                const double word = 0.12 + 0.05 * static_cast<double>(rng() % 6);
                page->addRect(x, y, std::min(x + word, end), y + 0.07, kInkBlack);
                x += word + 0.06;
            }
            y += 0.22;
        }
        y += 0.25;
    }
    const double tableTop = y + 0.1;
    for (int row = 0; row <= 4; ++row) page->addRect(0.9, tableTop + row * 0.3, 7.6, tableTop + row * 0.3 + 0.015, kInkBlack);
    for (double x : {0.9, 4.5, 6.0, 7.6}) page->addRect(x, tableTop, x + 0.015, tableTop + 1.215, kInkBlack);
    page->addText(1.0, tableTop + 0.08, "ITEM", 0.018, kInkBlack);
    page->addText(4.6, tableTop + 0.08, "QTY", 0.018, kInkBlack);
    page->addText(6.1, tableTop + 0.08, "TOTAL", 0.018, kInkBlack);
    page->addRect(4.8, 9.9, 7.6, 9.915, kInkBlack);
    page->addText(4.8, 10.0, "SIGNATURE", 0.015, kInkBlack);
    return page;
}

std::shared_ptr<const Page> makeWhite() {
    // Wider than the imaging area and longer than the 11 inches calibration needs.
    return std::make_shared<ShapePage>("white", 8.5, 11.5, kCalibrationWhite);
}

}  // namespace

std::vector<std::string> BuiltinPageNames() { return {"chart", "ticket", "document", "white"}; }

std::shared_ptr<const Page> MakeBuiltinPage(const std::string& name) {
    if (name == "chart") return makeChart();
    if (name == "ticket") return makeTicket();
    if (name == "document") return makeDocument();
    if (name == "white") return makeWhite();
    return nullptr;
}

ChartMarks TestChartMarks() {
    ChartMarks m{};
    m.squareSize = 0.15;
    m.left = 0.45, m.right = kChartWidth - 0.45;
    m.top = 0.45, m.bottom = kChartHeight - 0.45;
    m.rampX0 = 0.75, m.rampX1 = kChartWidth - 0.75, m.rampY0 = 1.1, m.rampY1 = 1.6;
    m.rampStart = kInkBlack, m.rampEnd = kPaperWhite;
    m.blackX0 = 0.75, m.blackX1 = 2.25, m.patchY0 = 2.65, m.patchY1 = 3.65;
    return m;
}

}  // namespace ordavel::virtual_scanner
