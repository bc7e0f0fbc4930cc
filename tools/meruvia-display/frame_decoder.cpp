#include "frame_decoder.h"

namespace {

constexpr uint8_t kStart = '=';
constexpr size_t kFrameSize = 8;
constexpr size_t kPointByte = 4; // every frame has its point here: three decimals are sent first

bool IsShown(uint8_t c) { return (c >= '0' && c <= '9') || c == '-'; }

} // namespace

std::string ReadingOf(const uint8_t frame[8]) {
    if (frame[0] != kStart || frame[kPointByte] != '.')
        return {};
    std::string reading;
    for (size_t k = kFrameSize - 1; k >= 1; --k) {
        if (k != kPointByte && !IsShown(frame[k]))
            return {};
        reading += static_cast<char>(frame[k]);
    }
    return reading;
}

void FrameDecoder::Reject(std::vector<LineEvent>& events) {
    if (!pending_.empty())
        events.push_back({LineEvent::Malformed, pending_, {}});
    pending_.clear();
}

void FrameDecoder::Feed(const uint8_t* data, size_t length, std::vector<LineEvent>& events) {
    for (size_t i = 0; i < length; ++i) {
        const uint8_t c = data[i];
        const bool inFrame = !pending_.empty() && pending_[0] == kStart;
        if (c == kStart) {
            // A new start inside a frame, or after noise: what came before is not a frame.
            Reject(events);
            pending_.push_back(c);
            continue;
        }
        pending_.push_back(c);
        if (!inFrame) {
            // Noise before any start: keep it together, reported when the next "=" comes
            // (or in pieces, so that a long burst does not grow without bound).
            if (pending_.size() >= 64)
                Reject(events);
            continue;
        }
        if (pending_.size() == kFrameSize) {
            std::string reading = ReadingOf(pending_.data());
            if (reading.empty()) {
                Reject(events);
            } else {
                events.push_back({LineEvent::Frame, pending_, reading});
                pending_.clear();
            }
        }
    }
}
