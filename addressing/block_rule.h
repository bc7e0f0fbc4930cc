// Whether a tag joins a block of addresses, widening the block by one end if needed.
#pragma once

#include <cstdint>

#include "host/host_records.h"

// The largest number of addresses a block may span.
constexpr int64_t kMaxBlockSpan = 100;

// 1 when the tag joins (nFirst or nLast may have moved to take it in), 0 otherwise.
int32_t CanTagJoinBlock(const TagAddress& tag, int32_t kind, IoBlock& block);
