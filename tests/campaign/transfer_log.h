// A device backend that stands between the driver and another backend and names every bulk
// transfer the driver makes (one raw write or one raw read), so a campaign can say where a fault
// struck: "write 0x07", "read 0x00".
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/raw_pipe.h"

namespace ordavel::campaign {

class TransferLog {
public:
    // The transfers so far, 1-based as the fault injector counts them (entry 0 is transfer 1).
    const std::vector<std::string>& transfers() const { return transfers_; }
    uint64_t count() const { return transfers_.size(); }
    uint64_t countIn() const { return in_; }
    // The transfer numbers of the IN transfers (kept with the labels).
    const std::vector<uint64_t>& answers() const { return answers_; }
    // Labels are only kept while `keepLabels` is set (the clean run needs them, fault runs count).
    void keepLabels(bool keep) { keepLabels_ = keep; }

    void noteWrite(const uint8_t* data, std::size_t size);
    void noteRead();

private:
    std::vector<std::string> transfers_;
    std::vector<uint64_t> answers_;
    uint64_t in_ = 0;
    bool keepLabels_ = true;
    std::string lastRequest_ = "read";
};

// `inner` with every pipe it opens logged into `log`.
std::shared_ptr<platform::DeviceBackend> LoggedBackend(std::shared_ptr<platform::DeviceBackend> inner,
                                                       std::shared_ptr<TransferLog> log);

}  // namespace ordavel::campaign
