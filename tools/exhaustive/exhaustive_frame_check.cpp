// Checks the display frame of every one of the 2^32 float bit patterns against the exact
// decimal reference, on all cores, and prints the number of mismatches (expected: 0) and
// the run time. Opt-in: it takes a while.
//
//   exhaustive_frame_check [first_bits last_bits]   (hexadecimal, inclusive)
#include <atomic>
#include <chrono>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "display/display_frame.h"
#include "exact_decimal.h"

namespace {

float FromBits(uint32_t bits) {
    float v;
    memcpy(&v, &bits, sizeof v);
    return v;
}

bool FrameMatches(uint32_t bits) {
    const float v = FromBits(bits);
    const DisplayFrame f = EncodeDisplayFrame(bits);
    const std::string expected = reference::Frame(v);
    return memcmp(f.bytes, expected.data(), kDisplayFrameSize) == 0;
}

} // namespace

int main(int argc, char** argv) {
    uint64_t first = 0;
    uint64_t last = 0xFFFFFFFFull;
    bool usable = argc == 1;
    if (argc == 3) {
        char* firstEnd = nullptr;
        char* lastEnd = nullptr;
        first = strtoull(argv[1], &firstEnd, 16);
        last = strtoull(argv[2], &lastEnd, 16);
        usable = *argv[1] != '\0' && *firstEnd == '\0' && *argv[2] != '\0' && *lastEnd == '\0' &&
                 first <= last && last <= 0xFFFFFFFFull;
    }
    if (!usable) {
        fprintf(stderr, "usage: %s [first_bits last_bits]  (hexadecimal, inclusive)\n", argv[0]);
        return 2;
    }

    const unsigned threads = std::max(1u, std::thread::hardware_concurrency());
    constexpr uint64_t kSlice = 1 << 20;
    std::atomic<uint64_t> next{first};
    std::atomic<uint64_t> done{0};
    std::atomic<uint64_t> mismatches{0};
    std::mutex printLock;
    const uint64_t total = last - first + 1;
    const auto start = std::chrono::steady_clock::now();

    auto worker = [&] {
        for (;;) {
            const uint64_t from = next.fetch_add(kSlice);
            if (from > last)
                return;
            const uint64_t to = std::min(last, from + kSlice - 1);
            for (uint64_t b = from; b <= to; ++b) {
                if (!FrameMatches(static_cast<uint32_t>(b))) {
                    if (mismatches.fetch_add(1) < 20) {
                        std::lock_guard<std::mutex> lock(printLock);
                        printf("mismatch at bits %08" PRIx64 "\n", b);
                    }
                }
            }
            const uint64_t d = done.fetch_add(to - from + 1) + (to - from + 1);
            if ((d / kSlice) % 256 == 0 || d == total) {
                std::lock_guard<std::mutex> lock(printLock);
                const double s = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
                fprintf(stderr, "%6.2f%% checked, %.0f s\n", 100.0 * static_cast<double>(d) / static_cast<double>(total), s);
            }
        }
    };
    std::vector<std::thread> pool;
    for (unsigned i = 0; i < threads; ++i)
        pool.emplace_back(worker);
    for (std::thread& t : pool)
        t.join();

    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    printf("checked %" PRIu64 " bit patterns on %u threads in %.1f s: %" PRIu64 " mismatches\n",
           total, threads, seconds, mismatches.load());
    return mismatches.load() == 0 ? 0 : 1;
}
