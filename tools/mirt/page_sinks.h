// Where a batch's pages go (a page marked jammed is kept only as "<name>-jammed.<ext>" beside the
// numbered files, and left out of documents and standard output): a numbered file per page, one multi-page PDF or TIFF per batch, or a
// single page on standard output. Sinks run on the writer thread, one page at a time, in order.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "tools/mirt/page_encoding.h"

namespace mirt {

class PageSink {
public:
    virtual ~PageSink() = default;
    // Takes the next page; appends to `written` every file it completed.
    virtual bool write(const PageImage& page, std::vector<std::string>& written, std::string& error) = 0;
    // After the last page (or after a stop): completes a multi-page file with the pages taken.
    virtual bool finish(std::vector<std::string>& written, std::string& error) = 0;
};

// "pattern" numbered from `firstNumber`, one BMP, PNG or TIFF file each.
std::unique_ptr<PageSink> MakePageFileSink(const std::string& pattern, PageFormat format, int firstNumber);
// One file at `path` holding every page: PDF, or multi-page TIFF. Nothing is written for a batch
// without pages.
std::unique_ptr<PageSink> MakeDocumentSink(const std::string& path, PageFormat format);
// Pages taken and dropped: the scanner's own pace, for the page benchmark.
std::unique_ptr<PageSink> MakeDiscardSink();
// The page (a single one) to standard output.
std::unique_ptr<PageSink> MakeStdoutSink(PageFormat format);

}  // namespace mirt
