// Joining a tag to a block of addresses, widening the block by one end if needed.
#pragma once

#include <cstdint>

#include "host/host_records.h"

// The largest number of addresses a block may span.
constexpr int64_t kMaxBlockSpan = 100;

// Joins the tag to the block when the rule allows it: 1, with nFirst or nLast moved as
// far as needed to take the tag in; otherwise 0, and the block is left as it was.
int32_t JoinTagToBlock(const TagAddress& tag, int32_t kind, IoBlock& block);
