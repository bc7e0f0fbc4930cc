// The display simulator's decoder on arbitrary line noise, fed in arbitrary pieces.
#include <cstdlib>

#include "frame_decoder.h"
#include "fuzz_input.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzInput in(data, size);
    const size_t piece = 1 + in.Value<uint8_t>() % 16;
    FrameDecoder decoder;
    std::vector<LineEvent> events;
    size_t fed = 0;
    while (in.Left() > 0) {
        const size_t n = in.Left() < piece ? in.Left() : piece;
        decoder.Feed(in.Rest(), n, events);
        uint8_t skip[16];
        in.Take(skip, n);
        fed += n;
    }
    size_t reported = 0;
    for (const LineEvent& e : events) {
        reported += e.bytes.size();
        if (e.kind == LineEvent::Frame &&
            (e.bytes.size() != 8 || e.bytes[0] != '=' || e.reading.size() != 7 || ReadingOf(e.bytes.data()) != e.reading))
            abort();
        if (e.kind == LineEvent::Malformed && (e.bytes.empty() || e.bytes.size() > 64))
            abort();
    }
    if (reported > fed)
        abort();
    return 0;
}
