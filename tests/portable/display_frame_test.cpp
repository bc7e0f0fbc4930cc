#include "display/display_frame.h"

#include <gtest/gtest.h>

#include <cfenv>
#include <cmath>
#include <cstring>
#include <limits>
#include <random>
#include <string>

#include "exact_decimal.h"

#ifdef _WIN32
#include <float.h>
#endif

namespace {

// By bits, so that a signalling NaN reaches the encoder as it is, never through a float
// register that would quiet it.
std::string TextOfBits(uint32_t bits) {
    char text[kValueTextBuffer];
    return std::string(text, FormatValueText(bits, text));
}

std::string FrameOfBits(uint32_t bits) {
    const DisplayFrame f = EncodeDisplayFrame(bits);
    return std::string(reinterpret_cast<const char*>(f.bytes), kDisplayFrameSize);
}

std::string TextOf(float v) { return TextOfBits(FloatBits(v)); }
std::string FrameOf(float v) { return FrameOfBits(FloatBits(v)); }

float FromBits(uint32_t bits) {
    float v;
    memcpy(&v, &bits, sizeof v);
    return v;
}

struct Golden {
    float value;
    const char* text;
    const char* frame;
};

// The display's worked examples.
const Golden kGolden[] = {
    {0.0f, "0000.000", "=000.000"},
    {-0.0f, "0000.000", "=000.000"},
    {1.5f, "0001.500", "=005.100"},
    {12.25f, "00012.250", "=052.210"},
    {123.456f, "000123.456", "=654.321"},
    {0.0005f, "0000.001", "=100.000"},
    {1.0625f, "0001.063", "=360.100"},
    {999.9996f, "0001000.000", "=000.000"},
    {1000.0f, "0001000.000", "=000.000"},
    // Whole part exactly 1000: the first value the register-only path must leave alone.
    {1000.5f, "0001000.500", "=005.000"},
    {-1000.25f, "-1000.250", "=052.000"},
    {1234.5f, "0001234.500", "=005.432"},
    {12345.0f, "00012345.000", "=000.543"},
    {1e20f, "000100000002004087730000.000", "=000.000"},
    {-0.0004f, "-00.000", "=000.00-"},
    {-1.5f, "-01.500", "=005.10-"},
    {-2.5625f, "-02.563", "=365.20-"},
    // The form goes by the magnitude as rounded: whatever rounds to 10.000 keeps its sign.
    {-9.9994993f, "-09.999", "=999.90-"},
    {-9.9995003f, "-10.000", "=000.01-"},
    {-9.9996f, "-10.000", "=000.01-"},
    {-99.9996f, "-100.000", "=000.001"},
    {-10.0f, "-10.000", "=000.01-"},
    {-12.5f, "-12.500", "=005.21-"},
    {-99.999f, "-99.999", "=999.99-"},
    {-123.456f, "-123.456", "=654.321"},
    // The largest float: 39 integer digits, rounded at the 17th.
    {std::numeric_limits<float>::max(), "000340282346638528860000000000000000000000.000",
     "=000.000"},
    {std::numeric_limits<float>::denorm_min(), "0000.000", "=000.000"},
};

TEST(DisplayFrame, WorkedExamples) {
    for (const Golden& g : kGolden) {
        SCOPED_TRACE(g.text);
        EXPECT_EQ(g.text, TextOf(g.value));
        EXPECT_EQ(g.frame, FrameOf(g.value));
        EXPECT_EQ(g.text, reference::ValueText(g.value)) << "the reference disagrees";
    }
}

TEST(DisplayFrame, BytesOfAFrame) {
    const DisplayFrame f = EncodeDisplayFrame(FloatBits(123.456f));
    const uint8_t expected[] = {0x3D, 0x36, 0x35, 0x34, 0x2E, 0x33, 0x32, 0x31};
    EXPECT_EQ(0, memcmp(expected, f.bytes, sizeof expected));
}

TEST(DisplayFrame, NonFiniteValuesReadAsDashes) {
    const struct {
        uint32_t bits;
        const char* prefix;
    } cases[] = {
        {0x7F800000u, "000"}, // +inf
        {0xFF800000u, "-"},   // -inf
        {0x7FC00000u, "-"},   // quiet NaN
        {0xFFC00000u, "-"},   // negative NaN
        {0x7F800001u, "-"},   // signalling NaN
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.bits);
        EXPECT_EQ(std::string(c.prefix) + "---.---", TextOfBits(c.bits));
        EXPECT_EQ("=---.---", FrameOfBits(c.bits));
    }
}

// Every float within a few units in the last place of a point where the third decimal
// rounds (k + 1/2 thousandths), from -1000 to 1000, against the exact reference.
TEST(DisplayFrame, MatchesReferenceNearEveryRoundingBoundary) {
    long mismatches = 0;
    for (int k = -1000000; k < 1000000; ++k) {
        const float boundary = static_cast<float>((k + 0.5) / 1000.0);
        uint32_t bits;
        memcpy(&bits, &boundary, sizeof bits);
        for (int d = -3; d <= 3; ++d) {
            const float v = FromBits(bits + static_cast<uint32_t>(d));
            if (FrameOf(v) != reference::Frame(v) && ++mismatches <= 5)
                ADD_FAILURE() << "value bits " << std::hex << (bits + static_cast<uint32_t>(d));
        }
    }
    EXPECT_EQ(0, mismatches);
}

TEST(DisplayFrame, MatchesReferenceOnRandomBitPatterns) {
    std::mt19937 rng(20261210);
#ifdef _WIN32
    const int count = 200000; // the full million runs natively
#else
    const int count = 1000000;
#endif
    long mismatches = 0;
    for (int i = 0; i < count; ++i) {
        const uint32_t bits = static_cast<uint32_t>(rng());
        const std::string expected = reference::ValueText(FromBits(bits));
        if (TextOfBits(bits) != expected && ++mismatches <= 5)
            ADD_FAILURE() << "value bits " << std::hex << bits << ": " << TextOfBits(bits) << " vs "
                          << expected;
    }
    EXPECT_EQ(0, mismatches);
}

// The DLL runs under whatever floating-point settings its host chose.
TEST(DisplayFrame, SameFramesUnderAnyRoundingModeAndPrecision) {
    std::vector<float> values;
    std::mt19937 rng(7);
    for (const Golden& g : kGolden)
        values.push_back(g.value);
    for (int i = 0; i < 20000; ++i)
        values.push_back(static_cast<float>(static_cast<int>(rng() % 2000001) - 1000000) / 1000.0f +
                         0.0005f);
    std::vector<std::string> expected;
    for (float v : values)
        expected.push_back(FrameOf(v));

    const int modes[] = {FE_UPWARD, FE_DOWNWARD, FE_TOWARDZERO};
    const int saved = fegetround();
    for (int mode : modes) {
        ASSERT_EQ(0, fesetround(mode));
#ifdef _WIN32
        unsigned int control = 0;
        _controlfp_s(&control, _PC_24, _MCW_PC); // x87 single precision
#endif
        for (size_t i = 0; i < values.size(); ++i)
            ASSERT_EQ(expected[i], FrameOf(values[i])) << "mode " << mode << ", value " << values[i];
#ifdef _WIN32
        _controlfp_s(&control, _PC_64, _MCW_PC);
#endif
    }
    fesetround(saved);
}

} // namespace
