// A heap block of bytes that is not cleared when it is allocated: the acquisition's large work
// buffer is written before it is read, and clearing megabytes for every scan would cost more
// than the scan's own copying.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <new>

namespace ordavel::engine {

class ByteBlock {
public:
    // False (and empty) when the memory cannot be had.
    bool Allocate(std::size_t bytes) {
        data_.reset(new (std::nothrow) uint8_t[bytes]);
        size_ = data_ ? bytes : 0;
        return data_ != nullptr || bytes == 0;
    }
    void Release() {
        data_.reset();
        size_ = 0;
    }

    uint8_t* data() { return data_.get(); }
    const uint8_t* data() const { return data_.get(); }
    std::size_t size() const { return size_; }
    bool empty() const { return size_ == 0; }
    uint8_t* begin() { return data_.get(); }
    uint8_t* end() { return data_.get() + size_; }

private:
    std::unique_ptr<uint8_t[]> data_;
    std::size_t size_ = 0;
};

}  // namespace ordavel::engine
