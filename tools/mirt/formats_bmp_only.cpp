// A mirt built without the image libraries writes BMP pages only. The encoders of the other
// formats are here as refusals, so the page sinks build unchanged; the command line refuses
// those formats before any paper moves (FormatAvailable), so these are reached by no scan.
#include "tools/mirt/page_encoding.h"
#include "tools/mirt/pdf_document.h"
#include "tools/mirt/png_pages.h"
#include "tools/mirt/tiff_pages.h"

namespace mirt {

bool FormatAvailable(PageFormat format) { return format == PageFormat::Bmp; }

std::string FormatUnavailableReason(PageFormat format) {
    if (format == PageFormat::Bmp) return {};
    return std::string("this mirt was built without the image libraries and writes BMP pages only, not ") +
           ExtensionOf(format);
}

bool EncodePng(const PageImage&, std::vector<uint8_t>& out, std::string& error) {
    out.clear();
    error = FormatUnavailableReason(PageFormat::Png);
    return false;
}

bool EncodeTiff(const PageImage&, std::vector<uint8_t>& out, std::string& error) {
    out.clear();
    error = FormatUnavailableReason(PageFormat::Tiff);
    return false;
}

struct MultiPageTiff::Impl {};
MultiPageTiff::MultiPageTiff() = default;
MultiPageTiff::~MultiPageTiff() = default;
bool MultiPageTiff::open(const std::string&, std::string& error) {
    error = FormatUnavailableReason(PageFormat::Tiff);
    return false;
}
bool MultiPageTiff::addPage(const PageImage&, std::string& error) {
    error = FormatUnavailableReason(PageFormat::Tiff);
    return false;
}
bool MultiPageTiff::close(std::string&) { return true; }

struct PdfDocument::Impl {};
PdfDocument::PdfDocument() = default;
PdfDocument::~PdfDocument() = default;
bool PdfDocument::addPage(const PageImage&, std::string& error) {
    error = FormatUnavailableReason(PageFormat::Pdf);
    return false;
}
int PdfDocument::pages() const { return 0; }
bool PdfDocument::save(const std::string&, std::string& error) {
    error = FormatUnavailableReason(PageFormat::Pdf);
    return false;
}
bool PdfDocument::bytes(std::vector<uint8_t>& out, std::string& error) {
    out.clear();
    error = FormatUnavailableReason(PageFormat::Pdf);
    return false;
}

}  // namespace mirt
