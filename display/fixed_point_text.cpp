// Integer-only. A float is m * 2^e with m < 2^24 and -149 <= e <= 104.
//
// Fractional values (e < 0): thousandths = m * 1000 / 2^s rounded half up, s = -e. The
// intermediate rounding to 17 significant digits never changes that result here: it could
// only move a remainder just below one half up to one half, but such a remainder is at
// least 2^-s below one half, far more than the 17th digit can reach (about 10^-6 * 2^-s).
//
// Integral values (e >= 0): the integer is written out exactly, rounded half up to 17
// significant digits with the positions after them written as zeros, and ".000" follows.
#include "display/fixed_point_text.h"

#include <cstring>

#include "display/digit_tables.h"

namespace {

constexpr int kSignificantDigits = 17;
constexpr uint32_t kChunk = 1000000000u; // 10^9, the largest power of ten in 32 bits

void Decompose(uint32_t magnitudeBits, uint32_t& m, int& e) {
    const int exponentField = static_cast<int>(magnitudeBits >> 23);
    const uint32_t fraction = magnitudeBits & 0x7FFFFFu;
    m = exponentField == 0 ? fraction : (fraction | 0x800000u);
    e = (exponentField == 0 ? 1 : exponentField) - 150;
}

// Splits m / 2^s into its whole part and its thousandths, rounded half up, by shifts: this
// path runs for every value the display can show, and a 64-bit division is a library call
// on 32-bit x86. Only large whole numbers (DivideByChunk) pay for one.
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

// Writes value in decimal, most significant digit first; returns the digit count.
size_t WriteUnsigned(uint32_t value, char* out) {
    const int n = DecimalDigits(value);
    for (int i = n - 1; i >= 0; --i) {
        out[i] = static_cast<char>('0' + value % 10);
        value /= 10;
    }
    return static_cast<size_t>(n);
}

size_t FormatFraction(uint32_t m, int s, char* out) {
    uint32_t whole;
    uint32_t decimals;
    SplitFraction(m, s, whole, decimals);

    // The text is put together in registers and written with two stores: eight zero-padded
    // integer digits (the whole part is below 2^24 < 10^8) shifted down to the first
    // significant one, then the point and three decimals right after them.
    const uint32_t millions = whole / 1000000; // < 17
    const uint64_t padded = DigitPair(millions) |
                            uint64_t{kThreeDigits.entry[whole / 1000 % 1000]} << 16 |
                            uint64_t{kThreeDigits.entry[whole % 1000]} << 40;
    const int digits = DecimalDigits(whole);
    const uint64_t integer = padded >> (8 * (8 - digits));
    const uint32_t tail = static_cast<uint32_t>('.') | kThreeDigits.entry[decimals] << 8;
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
    memcpy(out + n, ".000", 4); // NOLINT(bugprone-not-null-terminated-result): the text has no terminator
    return n + 4;
}

} // namespace

bool SplitSmallMagnitude(uint32_t magnitudeBits, uint32_t& whole, uint32_t& thousandths) {
    uint32_t m;
    int e;
    Decompose(magnitudeBits, m, e);
    if (e >= 0)
        return false;
    SplitFraction(m, -e, whole, thousandths);
    return true;
}

size_t FormatMagnitudeFixed3(uint32_t magnitudeBits, char* out) {
    uint32_t m;
    int e;
    Decompose(magnitudeBits, m, e);
    if (e < 0)
        return FormatFraction(m, -e, out);
    return FormatInteger(m, e, out);
}
