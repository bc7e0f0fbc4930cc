// Turns the bytes of a serial line back into display frames: "=" and seven characters,
// last character first. Resynchronises on "=", and reports what does not fit instead of
// failing.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

struct LineEvent {
    enum Kind { Frame, Malformed } kind;
    std::vector<uint8_t> bytes; // the frame, or the bytes that were thrown away
    std::string reading;        // for a frame: the seven characters as the display shows them
};

class FrameDecoder {
public:
    // Feeds bytes as they arrive; completed frames and rejected bytes are appended to events.
    void Feed(const uint8_t* data, size_t length, std::vector<LineEvent>& events);

private:
    void Reject(std::vector<LineEvent>& events);
    std::vector<uint8_t> pending_; // a started frame, "=" first, or bytes waiting for a "="
};

// The reading a frame shows: its seven characters in display order, e.g. "=005.100" shows
// "001.500". Empty if the frame is not one the display can show.
std::string ReadingOf(const uint8_t frame[8]);
