#include "addressing/block_rule.h"

#include <gtest/gtest.h>

#include <climits>

#include "record_fixture.h"

namespace {

struct JoinCase {
    const char* name;
    int16_t blockKind;
    int32_t first;
    int32_t last;
    int32_t kindArgument;
    int16_t tagAddress;
    int32_t result;
    int32_t firstAfter;
    int32_t lastAfter;
};

constexpr uint16_t kDevice = 3;
constexpr uint16_t kRegister = 0;

TagAddress MakeTag(int16_t address, uint16_t device = kDevice, uint16_t reg = kRegister) {
    TagAddress tag{};
    tag.nDevice = device;
    tag.nRegister = reg;
    tag.nAddress = address;
    return tag;
}

void FillBlock(IoBlock& block, int16_t kind, int32_t first, int32_t last) {
    block.nDevice = kDevice;
    block.nRegister = kRegister;
    block.nKind = kind;
    block.nFirst = first;
    block.nLast = last;
}

TEST(JoinTagToBlock, Table) {
    const JoinCase cases[] = {
        {"inside single address", 0, 10, 10, 0, 10, 1, 10, 10},
        {"span exactly 100", 0, 10, 10, 0, 109, 1, 10, 109},
        {"span 101 above", 0, 10, 10, 0, 110, 0, 10, 10},
        {"span 101 below", 0, 10, 109, 0, 9, 0, 10, 109},
        {"inside range", 0, 10, 109, 0, 60, 1, 10, 109},
        {"widen down", 0, 20, 30, 0, 5, 1, 5, 30},
        {"negative addresses", 0, 0, 0, 0, -1, 1, -1, 0},
        {"kind 2 forms ranges", 2, 10, 10, 2, 109, 1, 10, 109},
        {"kind 1 same", 1, 10, 10, 1, 10, 1, 10, 10},
        {"kind 1 never grows", 1, 10, 10, 1, 11, 0, 10, 10},
        {"kind 1 only nFirst", 1, 10, 12, 1, 11, 0, 10, 12},
        {"kinds differ", 0, 10, 10, 1, 10, 0, 10, 10},
        {"kind -1", -1, 10, 10, -1, 10, 1, 10, 10},
        {"kind 65535 is not -1", -1, 10, 10, 65535, 10, 0, 10, 10},
        // Far-apart ends must not wrap into a small span.
        {"no wrap below", 0, 0, INT_MAX, 0, -5, 0, 0, INT_MAX},
        {"no wrap above", 0, INT_MIN, 0, 0, 5, 0, INT_MIN, 0},
    };
    for (const JoinCase& c : cases) {
        SCOPED_TRACE(c.name);
        PatternFilled<IoBlock> block;
        FillBlock(*block, c.blockKind, c.first, c.last);
        const TagAddress tag = MakeTag(c.tagAddress);
        EXPECT_EQ(c.result, JoinTagToBlock(tag, c.kindArgument, *block));
        EXPECT_EQ(c.firstAfter, block->nFirst);
        EXPECT_EQ(c.lastAfter, block->nLast);
        EXPECT_TRUE(block.OnlyWritten({FIELD_OF(IoBlock, nDevice), FIELD_OF(IoBlock, nRegister),
                                       FIELD_OF(IoBlock, nFirst), FIELD_OF(IoBlock, nLast),
                                       FIELD_OF(IoBlock, nKind)}));
    }
}

TEST(JoinTagToBlock, OtherDeviceOrRegisterNeverJoins) {
    for (int16_t address : {10, 11, 50}) {
        IoBlock block{};
        FillBlock(block, 0, 10, 20);
        EXPECT_EQ(0, JoinTagToBlock(MakeTag(address, kDevice + 1), 0, block));
        EXPECT_EQ(0, JoinTagToBlock(MakeTag(address, kDevice, kRegister + 1), 0, block));
        EXPECT_EQ(10, block.nFirst);
        EXPECT_EQ(20, block.nLast);
    }
}

} // namespace
