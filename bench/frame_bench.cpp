// BuildDisplayFrame against producing the same value text with snprintf, in one run.
//   build/native/bench/frame_bench
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <random>
#include <vector>

#include "display/display_frame.h"

namespace {

// Values as a display shows them: -99.999 .. 999.999, three decimals.
std::vector<float> DisplayValues() {
    std::mt19937 rng(42);
    std::vector<float> values(4096);
    for (float& v : values)
        v = static_cast<float>(static_cast<int>(rng() % 1100000) - 100000) / 1000.0f;
    return values;
}

IoBlock BlockFor(TagValue& value, ItemNode& item) {
    item.pTag = &value;
    IoBlock block{};
    block.nKind = 1;
    block.pItems = &item;
    return block;
}

void BM_BuildDisplayFrame(benchmark::State& state) {
    const std::vector<float> values = DisplayValues();
    TagValue value{};
    ItemNode item{};
    const IoBlock block = BlockFor(value, item);
    uint8_t frame[kDisplayFrameSize];
    size_t i = 0;
    for (auto _ : state) {
        value.fValue = values[i++ & 4095];
        benchmark::DoNotOptimize(BuildDisplayFrame(block, frame));
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_BuildDisplayFrame);

// The same frame from the same block, with the text made by the C library.
void BM_SnprintfFrame(benchmark::State& state) {
    const std::vector<float> values = DisplayValues();
    TagValue value{};
    ItemNode item{};
    const IoBlock block = BlockFor(value, item);
    char text[64];
    uint8_t frame[kDisplayFrameSize];
    size_t i = 0;
    for (auto _ : state) {
        value.fValue = values[i++ & 4095];
        const float v = block.pItems->pTag->fValue;
        int n;
        if (!(v < 0.0f))
            n = snprintf(text, sizeof text, "000%03.3f", static_cast<double>(v));
        else if (v > -10.0f)
            n = snprintf(text, sizeof text, "-0%0.3f", -static_cast<double>(v));
        else
            n = snprintf(text, sizeof text, "-%0.3f", -static_cast<double>(v));
        frame[0] = '=';
        for (int k = 1; k < 8; ++k)
            frame[k] = static_cast<uint8_t>(text[n - k]);
        benchmark::DoNotOptimize(frame);
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_SnprintfFrame);

} // namespace

BENCHMARK_MAIN();
