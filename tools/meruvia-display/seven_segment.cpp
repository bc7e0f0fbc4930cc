#include "seven_segment.h"

#include <algorithm>
#include <iterator>

namespace {

// Segments per character, rows top to bottom, three columns each.
struct Glyph {
    char c;
    const char* rows[3];
};

const Glyph kGlyphs[] = {
    {'0', {" _ ", "| |", "|_|"}}, {'1', {"   ", "  |", "  |"}}, {'2', {" _ ", " _|", "|_ "}},
    {'3', {" _ ", " _|", " _|"}}, {'4', {"   ", "|_|", "  |"}}, {'5', {" _ ", "|_ ", " _|"}},
    {'6', {" _ ", "|_ ", "|_|"}}, {'7', {" _ ", "  |", "  |"}}, {'8', {" _ ", "|_|", "|_|"}},
    {'9', {" _ ", "|_|", " _|"}}, {'-', {"   ", " _ ", "   "}}, {' ', {"   ", "   ", "   "}},
};

const Glyph& GlyphFor(char c) {
    const Glyph* end = std::end(kGlyphs);
    const Glyph* found = std::find_if(std::begin(kGlyphs), end, [c](const Glyph& g) { return g.c == c; });
    return found != end ? *found : *(end - 1); // anything else shows blank
}

} // namespace

std::string DrawSevenSegment(const std::string& reading) {
    std::string rows[3];
    for (size_t i = 0; i < reading.size(); ++i) {
        if (reading[i] == '.')
            continue; // drawn with the digit before it
        const Glyph& g = GlyphFor(reading[i]);
        const bool point = i + 1 < reading.size() && reading[i + 1] == '.';
        for (int r = 0; r < 3; ++r) {
            rows[r] += g.rows[r];
            rows[r] += (r == 2 && point) ? '.' : ' ';
        }
    }
    return rows[0] + "\n" + rows[1] + "\n" + rows[2] + "\n";
}
