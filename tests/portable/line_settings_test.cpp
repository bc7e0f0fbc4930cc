// The host's codes for data bits, parity and stop bits, mapped the same way on every
// platform (this test runs natively and under Wine): the same host value gets the same
// answer from both serial links.
#include "serial/serial_link.h"

#include <gtest/gtest.h>

namespace {

TEST(LineSettings, DataBitsFromTheLowByte) {
    for (int code = 0; code < 0x10000; ++code) {
        DataBits bits = DataBits::Eight;
        const int low = code & 0xFF;
        const bool known = low >= 5 && low <= 8;
        ASSERT_EQ(known, MapDataBits(static_cast<uint16_t>(code), bits)) << code;
        if (known) {
            EXPECT_EQ(low, static_cast<int>(bits)) << code;
        }
    }
}

TEST(LineSettings, ParityFromTheLowByte) {
    const Parity expected[] = {Parity::None, Parity::Odd, Parity::Even, Parity::Mark, Parity::Space};
    for (int code = 0; code < 0x10000; ++code) {
        Parity parity = Parity::None;
        const int low = code & 0xFF;
        ASSERT_EQ(low < 5, MapParity(static_cast<uint16_t>(code), parity)) << code;
        if (low < 5) {
            EXPECT_EQ(expected[low], parity) << code;
        }
    }
}

TEST(LineSettings, StopBitsTwoOrElseOne) {
    for (int code = -32768; code < 32768; ++code)
        ASSERT_EQ(code == 2 ? StopBits::Two : StopBits::One, MapStopBits(static_cast<int16_t>(code))) << code;
}

} // namespace
