// Exact fixed-point text with three decimals for the magnitude of a single-precision value.
#pragma once

#include <cstddef>
#include <cstdint>

// magnitudeBits: the bits of a finite, non-negative float. Writes "<integer>.<3 digits>"
// (no terminator) for the value taken to 17 significant digits and then rounded at the
// third decimal, halves away from zero. Returns the length (at most 43); out must have
// room for 44 bytes, as bytes after the text may be scribbled on.
size_t FormatMagnitudeFixed3(uint32_t magnitudeBits, char* out);
