// Integer-only. A float is m * 2^e with m < 2^24 and -149 <= e <= 104.
//
// Fractional values (e < 0): thousandths = m * 1000 / 2^s rounded half up, s = -e. The
// intermediate rounding to 17 significant digits never changes that result here: it could
// only move a remainder just below one half up to one half, but such a remainder is at
// least 2^-s below one half, far more than the 17th digit can reach (about 10^-6 * 2^-s).
//
// Integral values (e >= 0): the integer is written out exactly, rounded half up to 17
// significant digits with the positions after them written as zeros, and ".000" follows.
#include "display/fixed3.h"

#include <cstring>

static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__, "digits are assembled little-endian");

namespace {

constexpr int kSignificantDigits = 17;
constexpr uint32_t kChunk = 1000000000u; // 10^9, the largest power of ten in 32 bits

// "00" .. "99", two digits at a time.
constexpr char kDigitPairs[] = "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
                               "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
                               "8081828384858687888990919293949596979899";

int DigitCount(uint32_t value) {
    int n = 1;
    while (value >= 10) {
        if (value < 100)
            return n + 1;
        if (value < 1000)
            return n + 2;
        if (value < 10000)
            return n + 3;
        value /= 10000;
        n += 4;
    }
    return n;
}

// Writes value in decimal, most significant digit first; returns the digit count.
size_t WriteUnsigned(uint32_t value, char* out) {
    const int n = DigitCount(value);
    char* p = out + n;
    while (value >= 100) {
        const uint32_t pair = value % 100;
        value /= 100;
        p -= 2;
        memcpy(p, kDigitPairs + 2 * pair, 2);
    }
    if (value >= 10) {
        p -= 2;
        memcpy(p, kDigitPairs + 2 * value, 2);
    } else {
        *--p = static_cast<char>('0' + value);
    }
    return static_cast<size_t>(n);
}

void WriteThreeDecimals(uint32_t thousandths, char* out) {
    out[0] = '.';
    out[1] = static_cast<char>('0' + thousandths / 100);
    memcpy(out + 2, kDigitPairs + 2 * (thousandths % 100), 2);
}

// Splits m / 2^s into its whole part and its thousandths, rounded half up, with no
// division (a 64-bit division is a library call on 32-bit x86).
void SplitFraction(uint32_t m, int s, uint32_t& whole, uint32_t& thousandths) {
    whole = 0;
    thousandths = 0;
    if (s >= 36) // m * 1000 / 2^s is below one half
        return;
    uint32_t fraction = m;
    if (s < 32) {
        whole = m >> s;
        fraction = m & ((1u << s) - 1);
    }
    const uint64_t scaled = uint64_t{fraction} * 1000u;
    const uint64_t half = uint64_t{1} << (s - 1);
    thousandths = static_cast<uint32_t>(scaled >> s) + ((scaled & ((half << 1) - 1)) >= half ? 1 : 0);
    if (thousandths == 1000) {
        thousandths = 0;
        ++whole;
    }
}

constexpr uint32_t kPowersOfTen[] = {1,      10,      100,      1000,      10000,
                                     100000, 1000000, 10000000, 100000000, 1000000000};

// Number of decimal digits of v (at least 1): estimated from its bit length (1233 / 4096 is
// just above log10(2)), then corrected by one comparison. v | 1 has as many digits as v
// (no power of ten above 1 is odd) and makes 0 count as one digit.
int DecimalDigits(uint32_t v) {
    v |= 1;
    const int bits = 32 - __builtin_clz(v);
    const int estimate = (bits * 1233) >> 12;
    return estimate + (v >= kPowersOfTen[estimate] ? 1 : 0);
}

// Two ASCII digits of v (< 100) as a little-endian 16-bit value.
uint64_t DigitPair(uint32_t v) {
    uint16_t pair;
    memcpy(&pair, kDigitPairs + 2 * v, 2);
    return pair;
}

size_t FormatFraction(uint32_t m, int s, char* out) {
    uint32_t whole;
    uint32_t decimals;
    SplitFraction(m, s, whole, decimals);

    // The text is put together in registers and written with two stores: eight zero-padded
    // integer digits (the whole part is below 2^24 < 10^8) shifted down to the first
    // significant one, then the point and three decimals right after them.
    constexpr uint64_t kFourZeros = 0x30303030;
    uint64_t padded = kFourZeros;
    uint32_t low = whole;
    if (whole >= 10000) { // rare on a display: four digits cover -9999.999 .. 9999.999
        const uint32_t high = whole / 10000;
        low = whole % 10000;
        padded = DigitPair(high / 100) | DigitPair(high % 100) << 16;
    }
    padded |= DigitPair(low / 100) << 32 | DigitPair(low % 100) << 48;
    const int digits = DecimalDigits(whole);
    const uint64_t integer = padded >> (8 * (8 - digits));
    const uint32_t tail = static_cast<uint32_t>('.') | (static_cast<uint32_t>('0' + decimals / 100) << 8) |
                          static_cast<uint32_t>(DigitPair(decimals % 100) << 16);
    memcpy(out, &integer, sizeof integer);
    memcpy(out + digits, &tail, sizeof tail);
    return static_cast<size_t>(digits) + 4;
}

// m << e as four 32-bit limbs, least significant first; fits since m * 2^104 < 2^128.
void ShiftIntoLimbs(uint32_t m, int e, uint32_t limbs[4]) {
    limbs[0] = limbs[1] = limbs[2] = limbs[3] = 0;
    const int word = e / 32;
    const int bit = e % 32;
    const uint64_t shifted = static_cast<uint64_t>(m) << bit;
    limbs[word] = static_cast<uint32_t>(shifted);
    if (word + 1 < 4)
        limbs[word + 1] = static_cast<uint32_t>(shifted >> 32);
}

// Divides the limbs by 10^9 in place and returns the remainder.
uint32_t DivideByChunk(uint32_t limbs[4]) {
    uint64_t rest = 0;
    for (int i = 3; i >= 0; --i) {
        const uint64_t cur = (rest << 32) | limbs[i];
        limbs[i] = static_cast<uint32_t>(cur / kChunk);
        rest = cur % kChunk;
    }
    return static_cast<uint32_t>(rest);
}

bool IsZero(const uint32_t limbs[4]) { return (limbs[0] | limbs[1] | limbs[2] | limbs[3]) == 0; }

// Half up at the 17th significant digit; the digits after it become zeros. May add a digit.
size_t RoundToSignificant(char* digits, size_t n) {
    if (n <= static_cast<size_t>(kSignificantDigits))
        return n;
    const bool up = digits[kSignificantDigits] >= '5';
    memset(digits + kSignificantDigits, '0', n - kSignificantDigits);
    if (!up)
        return n;
    for (int i = kSignificantDigits - 1; i >= 0; --i) {
        if (digits[i] != '9') {
            ++digits[i];
            return n;
        }
        digits[i] = '0';
    }
    memmove(digits + 1, digits, n);
    digits[0] = '1';
    return n + 1;
}

size_t FormatInteger(uint32_t m, int e, char* out) {
    uint32_t limbs[4];
    ShiftIntoLimbs(m, e, limbs);

    // Chunks of nine digits, least significant first, then written out in order.
    uint32_t chunks[5];
    int count = 0;
    do {
        chunks[count++] = DivideByChunk(limbs);
    } while (!IsZero(limbs));

    size_t n = WriteUnsigned(chunks[count - 1], out);
    for (int i = count - 2; i >= 0; --i) {
        uint32_t c = chunks[i];
        for (int d = 8; d >= 0; --d) {
            out[n + static_cast<size_t>(d)] = static_cast<char>('0' + c % 10);
            c /= 10;
        }
        n += 9;
    }
    n = RoundToSignificant(out, n);
    WriteThreeDecimals(0, out + n);
    return n + 4;
}

} // namespace

size_t FormatMagnitudeFixed3(uint32_t magnitudeBits, char* out) {
    const int exponentField = static_cast<int>(magnitudeBits >> 23);
    const uint32_t fraction = magnitudeBits & 0x7FFFFFu;
    const uint32_t m = exponentField == 0 ? fraction : (fraction | 0x800000u);
    const int e = (exponentField == 0 ? 1 : exponentField) - 150;

    if (m == 0 || e < 0)
        return FormatFraction(m, -e, out);
    return FormatInteger(m, e, out);
}
