#include "addressing/block_rule.h"

namespace {
// A kind-1 block holds exactly one address and never grows.
constexpr int32_t kSingleAddressKind = 1;
} // namespace

int32_t JoinTagToBlock(const TagAddress& tag, int32_t kind, IoBlock& block) {
    if (static_cast<int32_t>(block.nKind) != kind)
        return 0;
    if (block.nDevice != tag.nDevice || block.nRegister != tag.nRegister)
        return 0;

    const int32_t a = tag.nAddress;
    if (kind == kSingleAddressKind)
        return a == block.nFirst ? 1 : 0;

    // Spans are worked out in 64 bits: a block the host filled with far-apart ends must
    // not wrap around into a small span.
    if (a < block.nFirst) {
        if (static_cast<int64_t>(block.nLast) - a + 1 > kMaxBlockSpan)
            return 0;
        block.nFirst = a;
    } else if (a > block.nLast) {
        if (static_cast<int64_t>(a) - block.nFirst + 1 > kMaxBlockSpan)
            return 0;
        block.nLast = a;
    }
    return 1;
}
