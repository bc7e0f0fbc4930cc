// The display frame encoder against what a C++ programmer would use instead to make the
// same seven characters: snprintf, std::to_chars (fixed, 3 decimals) and {fmt} ("{:.3f}").
// Each reads the value from the same one-value block and builds the same 8-byte frame.
//   build/native/bin/frame_bench
#include <benchmark/benchmark.h>
#include <fmt/format.h>

#include <charconv>
#include <cstdio>
#include <cstring>
#include <random>
#include <vector>

#include "display/display_frame.h"
#include "host/one_value_block.h"

namespace {

// Values as a display shows them: -99.999 .. 999.999, three decimals.
std::vector<float> DisplayValues() {
    std::mt19937 rng(42);
    std::vector<float> values(4096);
    for (float& v : values)
        v = static_cast<float>(static_cast<int>(rng() % 1100000) - 100000) / 1000.0f;
    return values;
}

// The frame from the value's text as the encoder writes it ("000", "-0" or "-" before the
// magnitude with three decimals), with the magnitude made by another formatter: the last
// seven characters, last first.
template <class Magnitude> void FrameVia(float v, uint8_t* frame, Magnitude magnitude) {
    char text[64];
    size_t n;
    if (!(v < 0.0f)) {
        memcpy(text, "000", 3);
        n = 3 + magnitude(text + 3, v);
    } else if (v > -10.0f) {
        memcpy(text, "-0", 2);
        n = 2 + magnitude(text + 2, -v);
    } else {
        text[0] = '-';
        n = 1 + magnitude(text + 1, -v);
    }
    frame[0] = '=';
    for (size_t k = 1; k < 8; ++k)
        frame[k] = static_cast<uint8_t>(text[n - k]);
}

template <class MakeFrame> void Run(benchmark::State& state, MakeFrame make) {
    const std::vector<float> values = DisplayValues();
    OneValueBlock block;
    uint8_t frame[kDisplayFrameSize];
    size_t i = 0;
    for (auto _ : state) {
        block.Set(values[i++ & 4095]);
        make(block.get()->pItems->pTag->fValue, frame);
        benchmark::DoNotOptimize(frame);
        benchmark::ClobberMemory();
    }
}

void BM_EncodeDisplayFrame(benchmark::State& state) {
    Run(state, [](float v, uint8_t* frame) {
        const DisplayFrame f = EncodeDisplayFrame(FloatBits(v));
        memcpy(frame, f.bytes, kDisplayFrameSize);
    });
}
BENCHMARK(BM_EncodeDisplayFrame);

void BM_SnprintfFrame(benchmark::State& state) {
    Run(state, [](float v, uint8_t* frame) {
        FrameVia(v, frame, [](char* out, float m) {
            return static_cast<size_t>(snprintf(out, 60, "%.3f", static_cast<double>(m)));
        });
    });
}
BENCHMARK(BM_SnprintfFrame);

void BM_ToCharsFrame(benchmark::State& state) {
    Run(state, [](float v, uint8_t* frame) {
        FrameVia(v, frame, [](char* out, float m) {
            return static_cast<size_t>(std::to_chars(out, out + 60, m, std::chars_format::fixed, 3).ptr - out);
        });
    });
}
BENCHMARK(BM_ToCharsFrame);

void BM_FmtFrame(benchmark::State& state) {
    Run(state, [](float v, uint8_t* frame) {
        FrameVia(v, frame, [](char* out, float m) { return fmt::format_to_n(out, 60, "{:.3f}", m).size; });
    });
}
BENCHMARK(BM_FmtFrame);

} // namespace

BENCHMARK_MAIN();
