#include "display/display_frame.h"

#include <cstring>

#include "display/fixed3.h"

static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__, "the frame is assembled little-endian");
static_assert(kDisplayFrameSize == sizeof(uint64_t));

namespace {

constexpr uint32_t kSignBit = 0x80000000u;
constexpr uint32_t kExponentMask = 0x7F800000u;
constexpr uint32_t kMagnitudeMask = 0x7FFFFFFFu;
constexpr uint32_t kTenBits = 0x41200000u; // 10.0f

const char kNotANumberText[] = "---.---";

enum class SignCase { NotNegative = 0, SmallNegative = 1, OtherNegative = 2 };

SignCase ClassifySign(uint32_t bits) {
    const uint32_t magnitude = bits & kMagnitudeMask;
    const bool isNaN = magnitude > kExponentMask;
    if (isNaN)
        return SignCase::OtherNegative;
    if ((bits & kSignBit) == 0 || magnitude == 0) // -0 is not below 0
        return SignCase::NotNegative;
    return magnitude < kTenBits ? SignCase::SmallNegative : SignCase::OtherNegative;
}

struct Prefix {
    char text[4];
    size_t length;
};

// Indexed by SignCase.
constexpr Prefix kPrefixes[] = {{"000", 3}, {"-0", 2}, {"-", 1}};

} // namespace

size_t FormatValueText(float value, char* text) {
    uint32_t bits;
    memcpy(&bits, &value, sizeof bits);

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

DisplayFrame EncodeDisplayFrame(float value) {
    // One byte in front of the text, so that the eight bytes ending at its last character
    // can be read even for a seven-character text.
    char buffer[1 + kValueTextBuffer];
    char* text = buffer + 1;
    buffer[0] = 0;
    const size_t n = FormatValueText(value, text);
    // The last seven characters, last first: byte-swapping the eight bytes that end at the
    // last character reverses them, and the start character takes the place of the eighth.
    uint64_t window;
    memcpy(&window, text + n - 8, sizeof window);
    const uint64_t bytes = (__builtin_bswap64(window) << 8) | kFrameStart;
    DisplayFrame frame;
    memcpy(frame.bytes, &bytes, sizeof frame.bytes);
    return frame;
}

size_t BuildDisplayFrame(const IoBlock& block, uint8_t* frame) {
    const DisplayFrame f = EncodeDisplayFrame(block.pItems->pTag->fValue);
    memcpy(frame, f.bytes, kDisplayFrameSize);
    return kDisplayFrameSize;
}
