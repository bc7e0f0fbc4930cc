// The display simulator's decoder, fed with the driver's own frames and with garbage.
#include "frame_decoder.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

#include "display/display_frame.h"

namespace {

std::vector<LineEvent> FeedAll(FrameDecoder& d, const std::string& bytes) {
    std::vector<LineEvent> events;
    d.Feed(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), events);
    return events;
}

std::string FrameBytes(float v) {
    const DisplayFrame f = EncodeDisplayFrame(FloatBits(v));
    return std::string(reinterpret_cast<const char*>(f.bytes), kDisplayFrameSize);
}

TEST(FrameDecoder, ReadsBackWhatTheEncoderSends) {
    std::mt19937 rng(3);
    FrameDecoder d;
    for (int i = 0; i < 20000; ++i) {
        const float v = static_cast<float>(static_cast<int>(rng() % 2000000) - 1000000) / 997.0f;
        char text[kValueTextBuffer];
        const size_t n = FormatValueText(FloatBits(v), text);
        const auto events = FeedAll(d, FrameBytes(v));
        ASSERT_EQ(1u, events.size());
        ASSERT_EQ(LineEvent::Frame, events[0].kind);
        EXPECT_EQ(std::string(text + n - 7, 7), events[0].reading) << v;
    }
}

TEST(FrameDecoder, ExamplesAndDashes) {
    FrameDecoder d;
    const struct {
        const char* frame;
        const char* reading;
    } cases[] = {{"=005.100", "001.500"}, {"=000.01-", "-10.000"}, {"=654.321", "123.456"}, {"=---.---", "---.---"}};
    for (const auto& c : cases) {
        const auto events = FeedAll(d, c.frame);
        ASSERT_EQ(1u, events.size());
        EXPECT_EQ(c.reading, events[0].reading);
    }
}

TEST(FrameDecoder, ResynchronisesOnTheStartCharacter) {
    FrameDecoder d;
    const auto events = FeedAll(d, "xx=12=005.100=00A.000=654.321");
    ASSERT_EQ(5u, events.size());
    EXPECT_EQ(LineEvent::Malformed, events[0].kind); // "xx"
    EXPECT_EQ(LineEvent::Malformed, events[1].kind); // "=12"
    EXPECT_EQ("001.500", events[2].reading);
    EXPECT_EQ(LineEvent::Malformed, events[3].kind); // a letter inside
    EXPECT_EQ("123.456", events[4].reading);
}

TEST(FrameDecoder, FramesSplitAcrossReads) {
    FrameDecoder d;
    const std::string stream = "=005.100=654.321";
    std::vector<LineEvent> events;
    for (char c : stream)
        d.Feed(reinterpret_cast<const uint8_t*>(&c), 1, events);
    ASSERT_EQ(2u, events.size());
    EXPECT_EQ("001.500", events[0].reading);
    EXPECT_EQ("123.456", events[1].reading);
}

TEST(FrameDecoder, LongNoiseIsReportedInPieces) {
    FrameDecoder d;
    const auto events = FeedAll(d, std::string(1000, 'z'));
    EXPECT_GE(events.size(), 15u);
    for (const LineEvent& e : events)
        EXPECT_LE(e.bytes.size(), 64u);
}

} // namespace
