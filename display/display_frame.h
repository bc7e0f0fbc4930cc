// The frame the LED display understands: "=" followed by the last seven characters of
// the value's text, last character first. Takes the value's bits, never the float: a value
// that never touches a floating-point register can neither be changed nor raise an
// exception under whatever floating-point settings the host runs with.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>


constexpr size_t kDisplayFrameSize = 8;
constexpr uint8_t kFrameStart = '=';

// Longest value text: "000", 39 integer digits, the point and three decimals. Buffers
// leave room for one more digit, which a carry in the rounding could add.
constexpr size_t kMaxValueText = 46;
constexpr size_t kValueTextBuffer = kMaxValueText + 1;

struct DisplayFrame {
    uint8_t bytes[kDisplayFrameSize];
};

// The value's text, whose last seven characters the frame carries:
//   v >= 0 (also -0 and +inf)      "000" + magnitude
//   -10 < v < 0                    "-0"  + magnitude
//   v <= -10 (also -inf and NaN)   "-"   + magnitude
// The magnitude has three decimals: the value taken to 17 significant digits, then rounded
// at the third decimal, halves away from zero. Infinities and NaN read "---.---".
// valueBits: the single-precision value's four bytes. text must hold kValueTextBuffer
// characters. Writes no terminator; returns the length.
size_t FormatValueText(uint32_t valueBits, char* text);

DisplayFrame EncodeDisplayFrame(uint32_t valueBits);

// For callers that hold a float of their own (tools, tests): its bits, by copy.
inline uint32_t FloatBits(float value) {
    uint32_t bits;
    memcpy(&bits, &value, sizeof bits);
    return bits;
}
