// The stack canary's value and what happens when it is found overwritten, for the DLL's
// own code. The compiler runtime's versions would seed the canary from the cryptographic
// provider, which loads further DLLs while the loader lock is held; this one seeds it the
// way Windows' own C runtime does, from counters that cost nothing to read. Built without
// the stack protector itself.
#include <windows.h>

#include <cstdint>

#include "driver/early_init.h"

// The names are the compiler's own: its canary code refers to them.
extern "C" {
uintptr_t __stack_chk_guard = 0;                   // NOLINT(bugprone-reserved-identifier)
__attribute__((noreturn)) void __stack_chk_fail(); // NOLINT(bugprone-reserved-identifier)
__attribute__((noreturn)) void __chk_fail();       // NOLINT(bugprone-reserved-identifier)
}

namespace {

constexpr uintptr_t kFallbackGuard = 0xBB40E64Eu;

// Only the DLL's own code, none of whose frames is live yet, reads the canary.
struct StackGuardSeed {
    StackGuardSeed() {
        FILETIME now;
        LARGE_INTEGER counter;
        GetSystemTimeAsFileTime(&now);
        QueryPerformanceCounter(&counter);
        uintptr_t seed = now.dwLowDateTime ^ now.dwHighDateTime ^ GetCurrentProcessId() ^
                         (static_cast<uintptr_t>(GetCurrentThreadId()) << 16) ^ GetTickCount() ^
                         counter.LowPart ^ static_cast<uintptr_t>(counter.HighPart) ^
                         reinterpret_cast<uintptr_t>(&now);
        __stack_chk_guard = seed != 0 ? seed : kFallbackGuard;
    }
};

StackGuardSeed g_stackGuardSeed MERUVIA_EARLY_INIT;

// An overwritten stack in the host's process: nothing of it can be trusted any more, not
// even enough to report, so the process ends at once, as Windows ends it for its own code.
__attribute__((noreturn)) void EndProcess() {
    TerminateProcess(GetCurrentProcess(), static_cast<UINT>(STATUS_STACK_BUFFER_OVERRUN));
    for (;;) {
    }
}

} // namespace

extern "C" void __stack_chk_fail() { EndProcess(); }
extern "C" void __chk_fail() { EndProcess(); }
