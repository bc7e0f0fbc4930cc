// An independent, exact reference for the display's value text, used only by tests and
// tools. It writes the float's exact value out in decimal with arbitrary precision, then
// rounds that digit string the way the display text is defined: first to 17 significant
// digits, then at the third decimal, both times halves away from zero.
#pragma once

#include <cstdint>
#include <string>

namespace reference {

// The exact decimal value of a finite float's magnitude: digits (no leading zeros, "0"
// for zero) and how many of them lie after the decimal point.
struct ExactDecimal {
    std::string digits;
    int fractionDigits;
};

ExactDecimal ExactMagnitude(float value);

// "<integer>.<three decimals>" for a finite value's magnitude.
std::string MagnitudeText(float value);

// The whole value text: the sign case's prefix and the magnitude, or "---.---" after the
// prefix for infinities and NaN.
std::string ValueText(float value);

// The 8 frame bytes as a string.
std::string Frame(float value);

} // namespace reference
