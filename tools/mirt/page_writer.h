// Encoding and writing pages while the next sheet is scanned: a writer thread fed through a
// bounded queue. When the queue is full the scanning side waits (back-pressure), so memory stays
// bounded however slow the disk; when writing fails the scanning side learns it at its next
// page and stops feeding paper.
#pragma once

#include <condition_variable>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "tools/mirt/page_sinks.h"

namespace mirt {

class PageWriter {
public:
    // Two pages in the queue: one being written, one waiting, while a third is scanned.
    static constexpr std::size_t kDefaultCapacity = 2;

    explicit PageWriter(PageSink& sink, std::size_t capacity = kDefaultCapacity);
    ~PageWriter();  // finishes (see finish) if not done yet
    PageWriter(const PageWriter&) = delete;
    PageWriter& operator=(const PageWriter&) = delete;

    // Queues a page, waiting while the queue is full. False once writing has failed (the page is
    // not taken then; error() says why).
    bool push(PageImage page);
    // Writes what is queued, completes the sink and ends the thread. False when any write failed.
    bool finish();

    // The files completed since the last call, in order.
    std::vector<std::string> takeWritten();
    std::string error() const;
    bool failed() const;
    // Pages written, and the writer thread's CPU time for them in seconds.
    int pagesWritten() const;
    double cpuSeconds() const;

private:
    void run();

    PageSink& sink_;
    const std::size_t capacity_;
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<PageImage> queue_;
    std::vector<std::string> written_;
    std::string error_;
    bool closing_ = false;
    bool failed_ = false;
    bool finished_ = false;
    int pages_ = 0;
    double cpuSeconds_ = 0;
    std::thread thread_;
};

}  // namespace mirt
