// Decimal digits by table, assembled as little-endian integers so that a text can be put
// together in registers and stored in one go.
#pragma once

#include <cstdint>
#include <cstring>

static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__, "digits are assembled little-endian");

// "00" .. "99".
inline constexpr char kDigitPairs[] =
    "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
    "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
    "8081828384858687888990919293949596979899";

// "000" .. "999", each as a 24-bit little-endian value (first digit in the low byte).
struct ThreeDigitTable {
    uint32_t entry[1000];
    constexpr ThreeDigitTable() : entry() {
        for (uint32_t i = 0; i < 1000; ++i)
            entry[i] = ('0' + i / 100) | ('0' + i / 10 % 10) << 8 | ('0' + i % 10) << 16;
    }
};
inline constexpr ThreeDigitTable kThreeDigits;

inline constexpr uint32_t kPowersOfTen[] = {1,      10,      100,      1000,      10000,
                                            100000, 1000000, 10000000, 100000000, 1000000000};

// Number of decimal digits of v (at least 1): estimated from its bit length (1233 / 4096 is
// just above log10(2)), then corrected by one comparison. v | 1 has as many digits as v
// (no power of ten above 1 is odd) and makes 0 count as one digit.
inline int DecimalDigits(uint32_t v) {
    v |= 1;
    const int bits = 32 - __builtin_clz(v);
    const int estimate = (bits * 1233) >> 12;
    return estimate + (v >= kPowersOfTen[estimate] ? 1 : 0);
}

// Two ASCII digits of v (< 100) as a little-endian 16-bit value.
inline uint64_t DigitPair(uint32_t v) {
    uint16_t pair = 0;
    memcpy(&pair, kDigitPairs + size_t{2} * v, 2);
    return pair;
}
