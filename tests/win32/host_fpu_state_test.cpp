// MERUVIA.DLL runs on the host's thread under whatever floating-point state the host set:
// exceptions unmasked as some development environments leave them, any precision and
// rounding, SSE exceptions unmasked, denormals flushed. Under every such state, every kind
// of value gives its right frame, raises nothing, and leaves the x87 control and status
// words and the MXCSR as they were.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "exact_decimal.h"
#include "host/one_value_block.h"
#include "meruvia_dll.h"

namespace {

// x87 control word: exception masks (bits 0-5), precision (8-9), rounding (10-11).
constexpr uint16_t kInvalidMask = 0x01;
constexpr uint16_t kDenormalMask = 0x02;
constexpr uint16_t kZeroDivideMask = 0x04;
constexpr uint16_t kOverflowMask = 0x08;
constexpr uint16_t kWindowsDefaultControl = 0x027F; // all masked, 53-bit, to nearest
constexpr uint16_t kAllMasks = 0x3F;
// MXCSR: exception masks (bits 7-12), rounding (13-14), FTZ (15), DAZ (6).
constexpr uint32_t kDefaultMxcsr = 0x1F80;
constexpr uint32_t kMxcsrMasks = 0x1F80;
constexpr uint32_t kFlushToZero = 0x8000;
constexpr uint32_t kDenormalsAreZero = 0x0040;

struct FpuState {
    const char* name;
    uint16_t control;
    uint32_t mxcsr;
};

const FpuState kStates[] = {
    {"everything masked (Windows' default)", kWindowsDefaultControl, kDefaultMxcsr},
    {"x87 invalid, zero divide and overflow unmasked",
     kWindowsDefaultControl & ~(kInvalidMask | kZeroDivideMask | kOverflowMask), kDefaultMxcsr},
    {"every x87 exception unmasked", kWindowsDefaultControl & ~kAllMasks, kDefaultMxcsr},
    {"x87 denormal operand unmasked", kWindowsDefaultControl & ~kDenormalMask, kDefaultMxcsr},
    {"24-bit precision", 0x007F, kDefaultMxcsr},
    {"64-bit precision", 0x037F, kDefaultMxcsr},
    {"rounding down", 0x067F, kDefaultMxcsr},
    {"rounding up", 0x0A7F, kDefaultMxcsr},
    {"rounding toward zero", 0x0E7F, kDefaultMxcsr},
    {"24-bit precision, rounding up, every x87 exception unmasked", 0x0A40, kDefaultMxcsr},
    {"every SSE exception unmasked", kWindowsDefaultControl, kDefaultMxcsr & ~kMxcsrMasks},
    {"SSE denormals are zero and flush to zero", kWindowsDefaultControl,
     kDefaultMxcsr | kFlushToZero | kDenormalsAreZero},
};

float FromBits(uint32_t bits) {
    float v;
    memcpy(&v, &bits, sizeof v);
    return v;
}

struct Value {
    const char* name;
    uint32_t bits;
};

const Value kValues[] = {
    {"signalling NaN", 0x7F800001u},
    {"signalling NaN, negative, payload", 0xFFBFFFFFu},
    {"signalling NaN, payload", 0x7FA00000u},
    {"quiet NaN", 0x7FC00000u},
    {"quiet NaN, negative, payload", 0xFFC00001u},
    {"quiet NaN, all payload bits", 0x7FFFFFFFu},
    {"+inf", 0x7F800000u},
    {"-inf", 0xFF800000u},
    {"+0", 0x00000000u},
    {"-0", 0x80000000u},
    {"smallest denormal", 0x00000001u},
    {"largest denormal", 0x007FFFFFu},
    {"negative smallest denormal", 0x80000001u},
    {"a denormal", 0x002200AEu},
    {"FLT_MIN", 0x00800000u},
    {"FLT_MAX", 0x7F7FFFFFu},
    {"-FLT_MAX", 0xFF7FFFFFu},
    {"0.0005 (rounds up to 0.001)", 0x3A03126Fu},
    {"just below 0.0005", 0x3A03126Eu},
    {"999.9995 (carries to 1000)", 0x4479FFFFu},
    {"1.0625 (a half at the third decimal)", 0x3F880000u},
    {"-9.9996 (carries to -10)", 0xC11FFD60u},
    {"123.456", 0x42F6E979u},
    {"2^24 + 2", 0x4B800001u},
};

struct Observation {
    uint16_t controlBefore, controlAfter;
    uint16_t statusBefore, statusAfter;
    uint32_t mxcsrBefore, mxcsrAfter;
    int32_t result;
};

// Sets the state, makes the call, reads the state back, then puts Windows' default back:
// nothing between the two touches a floating-point register.
Observation WriteUnder(IDriverIo* io, const IoBlock* block, const FpuState& state) {
    Observation o = {};
    uint32_t mxcsr = state.mxcsr;
    uint16_t control = state.control;
    asm volatile("fnclex\n\tfldcw %0\n\tldmxcsr %1" : : "m"(control), "m"(mxcsr));
    asm volatile("fnstcw %0\n\tfnstsw %1\n\tstmxcsr %2" : "=m"(o.controlBefore), "=m"(o.statusBefore), "=m"(o.mxcsrBefore));
    o.result = io->WriteBlock(block);
    asm volatile("fnstcw %0\n\tfnstsw %1\n\tstmxcsr %2" : "=m"(o.controlAfter), "=m"(o.statusAfter), "=m"(o.mxcsrAfter));
    const uint16_t defaultControl = kWindowsDefaultControl;
    const uint32_t defaultMxcsr = kDefaultMxcsr;
    asm volatile("fnclex\n\tfldcw %0\n\tldmxcsr %1" : : "m"(defaultControl), "m"(defaultMxcsr));
    return o;
}

class HostFpuState : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_NE(nullptr, dll_.module());
        io_ = dll_.Create<IDriverIo>(IID_IDriverIo);
        ASSERT_NE(nullptr, io_);
        // The frames go into a pipe the test reads: the driver writes to whatever handle
        // the host hands it.
        ASSERT_TRUE(CreatePipe(&read_, &write_, nullptr, 4096));
        PortHandleRecord record = {write_};
        ASSERT_EQ(1, io_->SetPortHandle(&record));
    }
    void TearDown() override {
        if (io_ != nullptr)
            io_->Release();
        if (read_ != nullptr)
            CloseHandle(read_);
        if (write_ != nullptr)
            CloseHandle(write_);
    }

    std::string ReadFrame() {
        char frame[8] = {};
        DWORD got = 0;
        if (!ReadFile(read_, frame, sizeof frame, &got, nullptr))
            return "read failed";
        return std::string(frame, got);
    }

    MeruviaDll dll_;
    IDriverIo* io_ = nullptr;
    HANDLE read_ = nullptr;
    HANDLE write_ = nullptr;
};

TEST_F(HostFpuState, EveryValueUnderEveryStateGivesItsFrameAndChangesNothing) {
    std::vector<std::string> expected;
    for (const Value& v : kValues)
        expected.push_back(reference::Frame(FromBits(v.bits)));

    OneValueBlock block;
    for (const FpuState& state : kStates) {
        for (size_t i = 0; i < sizeof kValues / sizeof kValues[0]; ++i) {
            SCOPED_TRACE(std::string(state.name) + "; " + kValues[i].name);
            block.SetBits(kValues[i].bits);
            const Observation o = WriteUnder(io_, block.get(), state);
            EXPECT_EQ(1, o.result);
            EXPECT_EQ(expected[i], ReadFrame());
            EXPECT_EQ(state.control, o.controlBefore) << "the state was not set";
            EXPECT_EQ(o.controlBefore, o.controlAfter) << "x87 control word changed";
            EXPECT_EQ(o.statusBefore, o.statusAfter) << "x87 status word changed (an exception flag raised)";
            EXPECT_EQ(o.mxcsrBefore, o.mxcsrAfter) << "MXCSR changed";
        }
    }
}

// A thread the host starts after loading the module begins with Windows' state, not one
// the module's runtime would reset it to.
DWORD WINAPI ReadControlWord(void* out) {
    asm volatile("fnstcw %0" : "=m"(*static_cast<uint16_t*>(out)));
    return 0;
}

TEST_F(HostFpuState, NewThreadsKeepWindowsDefaultControlWord) {
    uint16_t control = 0;
    HANDLE t = CreateThread(nullptr, 0, ReadControlWord, &control, 0, nullptr);
    ASSERT_NE(nullptr, t);
    WaitForSingleObject(t, INFINITE);
    CloseHandle(t);
    EXPECT_EQ(kWindowsDefaultControl, control);
}

} // namespace
