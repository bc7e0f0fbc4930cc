// Test-side access to MERUVIA.DLL: slots called through the interface's table pointer the
// way the host calls them.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <initializer_list>
#include <vector>

#include "host/host_interfaces.h"
#include "meruvia_dll.h"

extern "C" uint32_t CallWithStackCheck(void* fn, const uint32_t* args, uint32_t count,
                                       int32_t* stackLeft);

inline uint32_t Arg(const void* p) { return static_cast<uint32_t>(reinterpret_cast<uintptr_t>(p)); }

// Calls slot `slot` of `iface` with the interface pointer and `args` as 32-bit values, and
// fails the test if the callee did not remove exactly those arguments.
inline uint32_t CallSlot(void* iface, int slot, std::initializer_list<uint32_t> args) {
    void** table = *static_cast<void***>(iface);
    std::vector<uint32_t> all{Arg(iface)};
    all.insert(all.end(), args);
    int32_t stackLeft = -1;
    const uint32_t result =
        CallWithStackCheck(table[slot], all.data(), static_cast<uint32_t>(all.size()), &stackLeft);
    EXPECT_EQ(0, stackLeft) << "slot " << slot << " did not take " << args.size()
                            << " arguments in the __stdcall convention";
    return result;
}
