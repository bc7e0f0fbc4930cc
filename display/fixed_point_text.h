// Exact fixed-point text with three decimals for the magnitude of a single-precision value:
// the value taken to 17 significant digits, then rounded at the third decimal, halves away
// from zero.
#pragma once

#include <cstddef>
#include <cstdint>

// magnitudeBits: the bits of a finite, non-negative float. Writes "<integer>.<3 digits>"
// (no terminator) and returns its length (at most 44); out must have room for 44 bytes,
// as bytes after the text may be scribbled on.
size_t FormatMagnitudeFixed3(uint32_t magnitudeBits, char* out);

// For a magnitude below 2^23 (a value with a fractional part, or zero): its whole part and
// its thousandths after rounding, and true. False for larger magnitudes, which are whole
// numbers.
bool SplitSmallMagnitude(uint32_t magnitudeBits, uint32_t& whole, uint32_t& thousandths);
