#include "display/display_frame.h"

#include <cstring>

#include "display/fixed3.h"

namespace {

constexpr uint32_t kSignBit = 0x80000000u;
constexpr uint32_t kExponentMask = 0x7F800000u;
constexpr uint32_t kMagnitudeMask = 0x7FFFFFFFu;
constexpr uint32_t kTenBits = 0x41200000u; // 10.0f

const char kNotANumberText[] = "---.---";

enum class SignCase { NotNegative, SmallNegative, OtherNegative };

SignCase ClassifySign(uint32_t bits) {
    const uint32_t magnitude = bits & kMagnitudeMask;
    const bool isNaN = magnitude > kExponentMask;
    if (isNaN)
        return SignCase::OtherNegative;
    if ((bits & kSignBit) == 0 || magnitude == 0) // -0 is not below 0
        return SignCase::NotNegative;
    return magnitude < kTenBits ? SignCase::SmallNegative : SignCase::OtherNegative;
}

const char* PrefixFor(SignCase c) {
    switch (c) {
    case SignCase::NotNegative:
        return "000";
    case SignCase::SmallNegative:
        return "-0";
    case SignCase::OtherNegative:
        return "-";
    }
    return "";
}

} // namespace

size_t FormatValueText(float value, char* text) {
    uint32_t bits;
    memcpy(&bits, &value, sizeof bits);

    const char* prefix = PrefixFor(ClassifySign(bits));
    const size_t prefixLen = strlen(prefix);
    memcpy(text, prefix, prefixLen);

    const uint32_t magnitude = bits & kMagnitudeMask;
    if ((magnitude & kExponentMask) == kExponentMask) {
        memcpy(text + prefixLen, kNotANumberText, sizeof kNotANumberText - 1);
        return prefixLen + sizeof kNotANumberText - 1;
    }
    return prefixLen + FormatMagnitudeFixed3(magnitude, text + prefixLen);
}

DisplayFrame EncodeDisplayFrame(float value) {
    char text[kValueTextBuffer];
    const size_t n = FormatValueText(value, text);
    DisplayFrame frame;
    frame.bytes[0] = kFrameStart;
    // Every text is at least seven characters long, so the window never starts before it.
    for (size_t k = 1; k < kDisplayFrameSize; ++k)
        frame.bytes[k] = static_cast<uint8_t>(text[n - k]);
    return frame;
}

size_t BuildDisplayFrame(const IoBlock& block, uint8_t* frame) {
    const DisplayFrame f = EncodeDisplayFrame(block.pItems->pTag->fValue);
    memcpy(frame, f.bytes, kDisplayFrameSize);
    return kDisplayFrameSize;
}
