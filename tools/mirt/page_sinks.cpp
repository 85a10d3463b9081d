// The page sinks.
#include "tools/mirt/page_sinks.h"

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <system_error>

#include "platform/process.h"
#include "tools/mirt/batch_names.h"
#include "tools/mirt/pdf_document.h"
#include "tools/mirt/tiff_pages.h"

namespace mirt {

namespace {

std::string JammedName(const std::string& path) {
    const std::filesystem::path p(path);
    return (p.parent_path() / (p.stem().string() + "-jammed" + p.extension().string())).string();
}

class PageFileSink final : public PageSink {
public:
    PageFileSink(std::string pattern, PageFormat format, int firstNumber)
        : pattern_(std::move(pattern)), format_(format), next_(firstNumber) {}

    bool write(const PageImage& page, std::vector<std::string>& written, std::string& error) override {
        if (!EncodePage(page, format_, bytes_, error)) return false;
        const std::string path = page.jammed ? JammedName(NameFor(pattern_, next_)) : NameFor(pattern_, next_);
        if (!WriteWholeFile(path, bytes_, error)) return false;
        // A jammed page leaves its number free for the sheet scanned again.
        if (!page.jammed) ++next_;
        written.push_back(path);
        return true;
    }
    bool finish(std::vector<std::string>&, std::string&) override { return true; }

private:
    std::string pattern_;
    PageFormat format_;
    int next_;
    std::vector<uint8_t> bytes_;  // kept between pages: its capacity is reused
};

class PdfSink final : public PageSink {
public:
    explicit PdfSink(std::string path) : path_(std::move(path)) {}

    bool write(const PageImage& page, std::vector<std::string>&, std::string& error) override {
        return page.jammed || document_.addPage(page, error);
    }
    bool finish(std::vector<std::string>& written, std::string& error) override {
        if (document_.pages() == 0) return true;
        const std::string partial = path_ + ".partial";
        if (!document_.save(partial, error)) {
            std::error_code ec;
            std::filesystem::remove(partial, ec);
            error += " (" + path_ + " not written)";
            return false;
        }
        if (!PublishFile(partial, path_, error)) return false;
        written.push_back(path_);
        return true;
    }

private:
    std::string path_;
    PdfDocument document_;
};

class MultiTiffSink final : public PageSink {
public:
    explicit MultiTiffSink(std::string path) : path_(std::move(path)), partial_(path_ + ".partial") {}
    ~MultiTiffSink() override {
        if (opened_ && !published_) {
            std::string ignored;
            tiff_.close(ignored);
            std::error_code ec;
            std::filesystem::remove(partial_, ec);
        }
    }

    bool write(const PageImage& page, std::vector<std::string>&, std::string& error) override {
        if (page.jammed) return true;
        if (!opened_) {
            if (!tiff_.open(partial_, error)) return false;
            opened_ = true;
        }
        return tiff_.addPage(page, error);
    }
    bool finish(std::vector<std::string>& written, std::string& error) override {
        if (!opened_) return true;
        if (!tiff_.close(error) || !PublishFile(partial_, path_, error)) {
            std::error_code ec;
            std::filesystem::remove(partial_, ec);
            return false;
        }
        published_ = true;
        written.push_back(path_);
        return true;
    }

private:
    std::string path_;
    std::string partial_;
    MultiPageTiff tiff_;
    bool opened_ = false;
    bool published_ = false;
};

class StdoutSink final : public PageSink {
public:
    explicit StdoutSink(PageFormat format) : format_(format) { ordavel::platform::UseBinaryStandardOutput(); }

    bool write(const PageImage& page, std::vector<std::string>& written, std::string& error) override {
        if (page.jammed) return true;
        std::vector<uint8_t> bytes;
        if (format_ == PageFormat::Pdf) {
            if (!PdfBytes(page, bytes, error)) return false;
        } else if (!EncodePage(page, format_, bytes, error)) {
            return false;
        }
        errno = 0;
        if (std::fwrite(bytes.data(), 1, bytes.size(), stdout) != bytes.size() || std::fflush(stdout) != 0) {
            error = "cannot write to standard output: " + std::generic_category().message(errno);
            return false;
        }
        written.push_back("-");
        return true;
    }
    bool finish(std::vector<std::string>&, std::string&) override { return true; }

private:
    static bool PdfBytes(const PageImage& page, std::vector<uint8_t>& bytes, std::string& error) {
        PdfDocument document;
        return document.addPage(page, error) && document.bytes(bytes, error);
    }

    PageFormat format_;
};

class DiscardSink final : public PageSink {
public:
    bool write(const PageImage&, std::vector<std::string>&, std::string&) override { return true; }
    bool finish(std::vector<std::string>&, std::string&) override { return true; }
};

}  // namespace

std::unique_ptr<PageSink> MakeDiscardSink() { return std::make_unique<DiscardSink>(); }

std::unique_ptr<PageSink> MakePageFileSink(const std::string& pattern, PageFormat format, int firstNumber) {
    return std::make_unique<PageFileSink>(pattern, format, firstNumber);
}

std::unique_ptr<PageSink> MakeDocumentSink(const std::string& path, PageFormat format) {
    if (format == PageFormat::Pdf) return std::make_unique<PdfSink>(path);
    return std::make_unique<MultiTiffSink>(path);
}

std::unique_ptr<PageSink> MakeStdoutSink(PageFormat format) { return std::make_unique<StdoutSink>(format); }

}  // namespace mirt
