// The block rule: a join never leaves a block wider than 100 addresses (unless the host
// handed it over wider), moves at most one end, and only to take the tag in.
#include <cstdlib>

#include "addressing/block_rule.h"
#include "fuzz_input.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzInput in(data, size);
    TagAddress tag{};
    tag.nDevice = in.Value<uint16_t>() % 3;
    tag.nRegister = in.Value<uint16_t>() % 3;
    tag.nAddress = in.Value<int16_t>();
    IoBlock block{};
    block.nDevice = in.Value<uint16_t>() % 3;
    block.nRegister = in.Value<uint16_t>() % 3;
    block.nKind = static_cast<int16_t>(in.Value<int16_t>() % 4);
    block.nFirst = in.Value<int32_t>();
    block.nLast = in.Value<int32_t>();
    const int32_t kind = in.Value<int8_t>() % 4;
    const IoBlock before = block;

    const int32_t joined = JoinTagToBlock(tag, kind, block);
    const bool firstMoved = block.nFirst != before.nFirst;
    const bool lastMoved = block.nLast != before.nLast;
    if (joined != 0 && joined != 1)
        abort();
    if (!joined && (firstMoved || lastMoved))
        abort();
    if (firstMoved && lastMoved)
        abort();
    if (joined && (block.nKind != kind || block.nDevice != tag.nDevice || block.nRegister != tag.nRegister))
        abort();
    if (firstMoved && (block.nFirst != tag.nAddress || static_cast<int64_t>(block.nLast) - block.nFirst + 1 > 100))
        abort();
    if (lastMoved && (block.nLast != tag.nAddress || static_cast<int64_t>(block.nLast) - block.nFirst + 1 > 100))
        abort();
    if (joined && kind == 1 && (firstMoved || lastMoved || tag.nAddress != before.nFirst))
        abort();
    return 0;
}
