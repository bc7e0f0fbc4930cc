// The driver's register table, which the host reads row by row.
#pragma once

#include <cstdint>

#include "host/register_entry.h"

// The display shows one value: the single register "N", for tags of data type 0x0080.
extern const RegisterEntry kRegisterTable[];
extern const int32_t kRegisterCount;
