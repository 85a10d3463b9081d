// mirt-page: writes one of the virtual scanner's built-in pages (test chart, ticket, white
// calibration sheet) as a PNG at a chosen resolution, to look at or to compare a scan with.
//
//   mirt-page chart chart.png            the test chart at 200 dpi
//   mirt-page ticket ticket.png --dpi 300
//   mirt-page --list                     the names of the built-in pages
#include <CLI/CLI.hpp>

#include <cstdio>
#include <string>

#include "virtual/builtin_pages.h"
#include "virtual/png_page.h"

int main(int argc, char** argv) {
    namespace vs = ordavel::virtual_scanner;
    CLI::App app{"Writes a built-in page of the virtual scanner as a PNG image (8-bit grey, "
                 "reflectance x 255 sampled at each pixel centre)."};
    std::string name, output;
    double dpi = 200;
    bool list = false;
    app.add_option("page", name, "built-in page: chart, ticket, document or white");
    app.add_option("output", output, "PNG file to write");
    app.add_option("--dpi", dpi, "resolution in dots per inch")->check(CLI::Range(1.0, 2400.0));
    app.add_flag("--list", list, "print the names of the built-in pages and exit");
    CLI11_PARSE(app, argc, argv);

    if (list) {
        for (const auto& page : vs::BuiltinPageNames()) std::printf("%s\n", page.c_str());
        return 0;
    }
    if (name.empty() || output.empty()) {
        std::fprintf(stderr, "mirt-page: give a page name and an output file (see --help)\n");
        return 2;
    }
    const auto page = vs::MakeBuiltinPage(name);
    if (!page) {
        std::fprintf(stderr, "mirt-page: no built-in page named \"%s\" (try --list)\n", name.c_str());
        return 2;
    }
    std::string error;
    if (!vs::WritePagePng(*page, dpi, output, error)) {
        std::fprintf(stderr, "mirt-page: %s\n", error.c_str());
        return 1;
    }
    std::printf("%s: %.2f x %.2f inches at %g dpi\n", output.c_str(), page->widthInches(), page->heightInches(), dpi);
    return 0;
}
