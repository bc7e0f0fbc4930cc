#include "exact_decimal.h"

#include <cmath>
#include <cstring>

namespace reference {
namespace {

// A big unsigned integer in base 10^9, least significant limb first. 2^24 * 5^149 and
// 2^24 * 2^104 both need fewer than 14 limbs.
constexpr uint64_t kBase = 1000000000ull;
constexpr int kMaxLimbs = 16;

struct Big {
    uint64_t limb[kMaxLimbs];
    int size;
};

void MultiplySmall(Big& n, uint64_t factor) { // factor < 2^32
    uint64_t carry = 0;
    for (int i = 0; i < n.size; ++i) {
        const uint64_t cur = n.limb[i] * factor + carry;
        n.limb[i] = cur % kBase;
        carry = cur / kBase;
    }
    while (carry != 0) {
        n.limb[n.size++] = carry % kBase;
        carry /= kBase;
    }
}

void MultiplyPower(Big& n, uint64_t base, int exponent) {
    // Chunks whose product still fits the small multiplier (5^12 < 2^32).
    uint64_t chunk = 1;
    int inChunk = 0;
    for (int i = 0; i < exponent; ++i) {
        chunk *= base;
        if (++inChunk == 12) {
            MultiplySmall(n, chunk);
            chunk = 1;
            inChunk = 0;
        }
    }
    if (inChunk != 0)
        MultiplySmall(n, chunk);
}

// Decimal digits, most significant first, without leading zeros ("0" for zero).
struct Digits {
    char d[8 + 9 * kMaxLimbs];
    int n;
};

Digits ToDecimal(const Big& big) {
    Digits out;
    out.n = 0;
    for (int i = big.size - 1; i >= 0; --i) {
        uint64_t v = big.limb[i];
        char nine[9];
        for (int k = 8; k >= 0; --k) {
            nine[k] = static_cast<char>('0' + v % 10);
            v /= 10;
        }
        for (char c : nine)
            if (out.n > 0 || c != '0')
                out.d[out.n++] = c;
    }
    if (out.n == 0)
        out.d[out.n++] = '0';
    return out;
}

// Adds one unit in the last of the first `len` digits; returns true on a carry out.
bool Increment(char* digits, int len) {
    for (int i = len - 1; i >= 0; --i) {
        if (digits[i] != '9') {
            ++digits[i];
            return false;
        }
        digits[i] = '0';
    }
    return true;
}

void Decompose(float value, uint64_t& m, int& e) {
    uint32_t bits;
    memcpy(&bits, &value, sizeof bits);
    const int field = static_cast<int>((bits >> 23) & 0xFF);
    m = bits & 0x7FFFFF;
    e = -149;
    if (field != 0) {
        m |= 0x800000;
        e = field - 150;
    }
}

Digits ExactDigits(float value, int& fractionDigits) {
    uint64_t m;
    int e;
    Decompose(value, m, e);
    Big n;
    n.limb[0] = m % kBase;
    n.size = 1;
    if (m >= kBase)
        n.limb[n.size++] = m / kBase;
    if (e >= 0) {
        MultiplyPower(n, 2, e);
        fractionDigits = 0;
    } else {
        // m / 2^s == m * 5^s / 10^s
        MultiplyPower(n, 5, -e);
        fractionDigits = -e;
    }
    return ToDecimal(n);
}

} // namespace

ExactDecimal ExactMagnitude(float value) {
    ExactDecimal out;
    const Digits d = ExactDigits(value, out.fractionDigits);
    out.digits.assign(d.d, static_cast<size_t>(d.n));
    return out;
}

std::string MagnitudeText(float value) {
    int fraction = 0;
    const Digits exact = ExactDigits(value, fraction);

    // Work buffer: one spare digit in front for a carry, zeros so that there is at least one
    // integer digit, then the exact digits.
    char buf[4 + 160 + sizeof exact.d];
    int n = 0;
    buf[n++] = '0';
    for (int pad = fraction + 1 - exact.n; pad > 0; --pad)
        buf[n++] = '0';
    memcpy(buf + n, exact.d, static_cast<size_t>(exact.n));
    n += exact.n;

    // 1. Seventeen significant digits; the positions after them become zeros.
    int first = 0;
    while (first < n && buf[first] == '0')
        ++first;
    if (n - first > 17) {
        const int cut = first + 17;
        const bool up = buf[cut] >= '5';
        memset(buf + cut, '0', static_cast<size_t>(n - cut));
        if (up)
            Increment(buf, cut); // the spare leading zero takes any carry
    }

    // 2. Three decimals.
    if (fraction > 3) {
        const int keep = n - (fraction - 3);
        const bool up = buf[keep] >= '5';
        n = keep;
        if (up)
            Increment(buf, n);
        fraction = 3;
    }
    for (; fraction < 3; ++fraction)
        buf[n++] = '0';

    int start = 0;
    while (start < n - 4 && buf[start] == '0')
        ++start;
    std::string text(buf + start, static_cast<size_t>(n - 3 - start));
    text += '.';
    text.append(buf + n - 3, 3);
    return text;
}

std::string ValueText(float value) {
    if (std::isnan(value))
        return "----.---";
    if (std::isinf(value))
        return std::string(value < 0.0f ? "-" : "000") + "---.---";
    const std::string magnitude = MagnitudeText(value);
    // A negative value's form goes by its magnitude as rounded: two whole digits or more
    // take a bare minus sign.
    const bool twoWholeDigits = magnitude.find('.') >= 2;
    const char* prefix = value >= 0.0f ? "000" : twoWholeDigits ? "-" : "-0";
    return prefix + magnitude;
}

std::string Frame(float value) {
    const std::string text = ValueText(value);
    std::string frame = "=";
    for (size_t k = 1; k <= 7; ++k)
        frame += text[text.size() - k];
    return frame;
}

} // namespace reference
