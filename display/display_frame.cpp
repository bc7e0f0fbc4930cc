#include "display/display_frame.h"

#include <cstring>

#include "display/digit_tables.h"
#include "display/fixed_point_text.h"

namespace {

constexpr uint32_t kSignBit = 0x80000000u;
constexpr uint32_t kExponentMask = 0x7F800000u;
constexpr uint32_t kMagnitudeMask = 0x7FFFFFFFu;
// The smallest magnitude whose text is "10.000": 9.99950027..., the float just above 9.9995.
constexpr uint32_t kRoundsToTenBits = 0x411FFDF4u;

const char kNotANumberText[] = "---.---";

enum class SignCase { NotNegative = 0, SmallNegative = 1, OtherNegative = 2 };

// Without branches: NaN (whatever its sign) and negative values whose magnitude rounds to
// 10.000 or more are "other negative"; the other negative values except -0 are "small
// negative". The form follows the magnitude as rounded, so that -9.9996 is "-10.000" like
// -10, not "-0" + "10.000", whose last seven characters would lose the sign.
SignCase ClassifySign(uint32_t bits) {
    const uint32_t magnitude = bits & kMagnitudeMask;
    const bool negative = (bits & kSignBit) != 0;
    const bool isNaN = magnitude > kExponentMask;
    const bool other = isNaN || (negative && magnitude >= kRoundsToTenBits);
    const bool small = negative && magnitude != 0 && magnitude < kRoundsToTenBits;
    return static_cast<SignCase>(2 * other + small);
}

struct Prefix {
    char text[4];
    uint32_t length;
};

// Indexed by SignCase.
constexpr Prefix kPrefixes[] = {{"000", 3}, {"-0", 2}, {"-", 1}};

// The frame of a value whose whole part is below 1000, what a display normally shows, put
// together in registers. The value text is prefix + whole digits + "." + three decimals,
// and the prefix with the whole digits is always at least three characters long, so the
// last seven characters are the last three of (prefix + whole digits), ".", the decimals.
bool EncodeBelowThousand(uint32_t bits, DisplayFrame& frame) {
    uint32_t whole;
    uint32_t decimals;
    const uint32_t magnitude = bits & kMagnitudeMask;
    if (magnitude >= kExponentMask || !SplitSmallMagnitude(magnitude, whole, decimals) ||
        whole >= 1000)
        return false;

    const Prefix& prefix = kPrefixes[static_cast<int>(ClassifySign(bits))];
    uint32_t prefixBits;
    memcpy(&prefixBits, prefix.text, sizeof prefixBits);
    const uint32_t digits = 1 + (whole >= 10) + (whole >= 100);
    const uint64_t wholeDigits = kThreeDigits.entry[whole] >> (8 * (3 - digits));
    const uint64_t head = prefixBits | wholeDigits << (8 * prefix.length);
    const uint32_t lastThree = static_cast<uint32_t>(head >> (8 * (prefix.length + digits - 3)));

    // Last character first: the decimals reversed, the point, the head's three reversed.
    const uint64_t bytes = uint64_t{kFrameStart} |
                           uint64_t{__builtin_bswap32(kThreeDigits.entry[decimals]) >> 8} << 8 |
                           uint64_t{'.'} << 32 |
                           uint64_t{__builtin_bswap32(lastThree << 8)} << 40;
    memcpy(frame.bytes, &bytes, sizeof frame.bytes);
    return true;
}

} // namespace

size_t FormatValueText(uint32_t bits, char* text) {
    const Prefix& prefix = kPrefixes[static_cast<int>(ClassifySign(bits))];
    const size_t prefixLen = prefix.length;
    memcpy(text, prefix.text, sizeof prefix.text); // a fixed-size copy; the rest overwrites it

    const uint32_t magnitude = bits & kMagnitudeMask;
    if ((magnitude & kExponentMask) == kExponentMask) {
        memcpy(text + prefixLen, kNotANumberText, sizeof kNotANumberText - 1);
        return prefixLen + sizeof kNotANumberText - 1;
    }
    return prefixLen + FormatMagnitudeFixed3(magnitude, text + prefixLen);
}

DisplayFrame EncodeDisplayFrame(uint32_t bits) {
    DisplayFrame frame;
    if (EncodeBelowThousand(bits, frame))
        return frame;

    // Everything else through the whole text. Every text has at least seven characters.
    char text[kValueTextBuffer];
    const size_t n = FormatValueText(bits, text);
    frame.bytes[0] = kFrameStart;
    for (size_t k = 1; k < kDisplayFrameSize; ++k)
        frame.bytes[k] = static_cast<uint8_t>(text[n - k]);
    return frame;
}
