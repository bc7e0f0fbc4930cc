// One row of a driver's register table, as the host reads it.
#pragma once

#include <cstddef>
#include <cstdint>

// One 24-byte row. nMin < nMax: an indexed register ("name" followed by an index);
// nMin == nMax: a single register (the name alone); nMin > nMax: unusable.
struct RegisterEntry {
    char szName[8]; // at most 7 characters, zero-filled after the terminator
    int32_t nMin;
    int32_t nMax;
    uint16_t nTypeMask; // host data-type bits the register accepts
    uint8_t reserved[6];
};

static_assert(sizeof(RegisterEntry) == 24);
static_assert(offsetof(RegisterEntry, nMin) == 0x08);
static_assert(offsetof(RegisterEntry, nMax) == 0x0C);
static_assert(offsetof(RegisterEntry, nTypeMask) == 0x10);
