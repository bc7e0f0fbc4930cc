// Every frame against the exact decimal reference.
#include <cstdlib>
#include <cstring>
#include <string>

#include "display/display_frame.h"
#include "exact_decimal.h"
#include "fuzz_input.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzInput in(data, size);
    const float value = in.Value<float>();
    const DisplayFrame frame = EncodeDisplayFrame(FloatBits(value));
    const std::string expected = reference::Frame(value);
    if (memcmp(frame.bytes, expected.data(), kDisplayFrameSize) != 0)
        abort();
    char text[kValueTextBuffer];
    const size_t n = FormatValueText(FloatBits(value), text);
    if (std::string(text, n) != reference::ValueText(value))
        abort();
    return 0;
}
