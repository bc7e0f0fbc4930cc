// A block holding one value, linked as the host links it: the block's first item points at
// the tag that holds the value. For whatever plays the host: tests, benchmarks, tools.
#pragma once

#include <cstdint>
#include <cstring>

#include "host/host_records.h"

class OneValueBlock {
public:
    explicit OneValueBlock(float value = 0.0f) {
        tag_.fValue = value;
        item_.pTag = &tag_;
        block_.nKind = 1;
        block_.pItems = &item_;
    }
    // The block points into itself.
    OneValueBlock(const OneValueBlock&) = delete;
    OneValueBlock& operator=(const OneValueBlock&) = delete;

    void Set(float value) { tag_.fValue = value; }
    // The value's four bytes as they are, so that no floating-point register touches them
    // on the way (a signalling NaN stays signalling).
    void SetBits(uint32_t bits) { memcpy(&tag_.fValue, &bits, sizeof bits); }
    const IoBlock* get() const { return &block_; }
    IoBlock& block() { return block_; }

private:
    TagValue tag_{};
    ItemNode item_{};
    IoBlock block_{};
};
