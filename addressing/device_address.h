// Device (station) addresses: decimal text for a number from 0 to 255.
#pragma once

#include <cstdint>

// True when every character is a decimal digit and the value is at most 255; an empty
// text is address 0. The value is judged whole, however many digits it has.
bool ReadDeviceAddress(const char* text, int32_t& address);
