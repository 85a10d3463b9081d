// The writer thread.
#include "tools/mirt/page_writer.h"

#include "platform/cpu_time.h"

namespace mirt {

PageWriter::PageWriter(PageSink& sink, std::size_t capacity)
    : sink_(sink), capacity_(capacity == 0 ? 1 : capacity), thread_([this] { run(); }) {}

PageWriter::~PageWriter() { finish(); }

bool PageWriter::push(PageImage page) {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [&] { return failed_ || queue_.size() < capacity_; });
    if (failed_) return false;
    queue_.push_back(std::move(page));
    changed_.notify_all();
    return true;
}

bool PageWriter::finish() {
    {
        std::lock_guard lock(mutex_);
        if (finished_) return !failed_;
        finished_ = true;
        closing_ = true;
    }
    changed_.notify_all();
    if (thread_.joinable()) thread_.join();
    std::lock_guard lock(mutex_);
    return !failed_;
}

void PageWriter::run() {
    const double cpuAtStart = ordavel::platform::ThreadCpuSeconds();
    for (;;) {
        PageImage page;
        {
            std::unique_lock lock(mutex_);
            changed_.wait(lock, [&] { return closing_ || !queue_.empty(); });
            if (queue_.empty() || failed_) break;
            // The page stays counted in the queue until written, so the capacity bounds the
            // pages held in memory.
            page = std::move(queue_.front());
        }
        std::vector<std::string> written;
        std::string error;
        const bool ok = sink_.write(page, written, error);
        std::lock_guard lock(mutex_);
        queue_.pop_front();
        written_.insert(written_.end(), written.begin(), written.end());
        if (ok) {
            ++pages_;
        } else {
            failed_ = true;
            error_ = error;
        }
        changed_.notify_all();
    }
    // Whatever failed, the pages taken so far are completed into their document.
    std::vector<std::string> written;
    std::string error;
    const bool ok = sink_.finish(written, error);
    std::lock_guard lock(mutex_);
    written_.insert(written_.end(), written.begin(), written.end());
    if (!ok && !failed_) {
        failed_ = true;
        error_ = error;
    }
    queue_.clear();
    cpuSeconds_ = ordavel::platform::ThreadCpuSeconds() - cpuAtStart;
    changed_.notify_all();
}

std::vector<std::string> PageWriter::takeWritten() {
    std::lock_guard lock(mutex_);
    std::vector<std::string> taken;
    taken.swap(written_);
    return taken;
}

std::string PageWriter::error() const {
    std::lock_guard lock(mutex_);
    return error_;
}

bool PageWriter::failed() const {
    std::lock_guard lock(mutex_);
    return failed_;
}

int PageWriter::pagesWritten() const {
    std::lock_guard lock(mutex_);
    return pages_;
}

double PageWriter::cpuSeconds() const {
    std::lock_guard lock(mutex_);
    return cpuSeconds_;
}

}  // namespace mirt
