// Reads typed values from a fuzzer's bytes; once they run out, zeros follow.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

class FuzzInput {
public:
    FuzzInput(const uint8_t* data, size_t size) : data_(data), size_(size) {}

    void Take(void* out, size_t n) {
        const size_t have = n < size_ - pos_ ? n : size_ - pos_;
        memcpy(out, data_ + pos_, have);
        memset(static_cast<uint8_t*>(out) + have, 0, n - have);
        pos_ += have;
    }
    template <class T> T Value() {
        T v;
        Take(&v, sizeof v);
        return v;
    }
    size_t Left() const { return size_ - pos_; }
    const uint8_t* Rest() const { return data_ + pos_; }

private:
    const uint8_t* data_;
    size_t size_;
    size_t pos_ = 0;
};
