// How a Windows port is told to wait for a read, worked out where any platform can check
// it. With the interval and the multiplier both at their maximum and a constant between
// 1 and one below the maximum, a read returns as soon as any byte is there, or empty once
// the constant has passed. A constant of 0 in that pattern, or one at the maximum, is not
// that case; so no wait is the interval alone at its maximum (return what is there), and
// the longest wait stops one millisecond short of the maximum.
#pragma once

#include <cstdint>

struct SerialReadWait {
    uint32_t interval;    // ReadIntervalTimeout
    uint32_t multiplier;  // ReadTotalTimeoutMultiplier
    uint32_t constant;    // ReadTotalTimeoutConstant
};

constexpr uint32_t kSerialWaitMax = UINT32_MAX; // MAXDWORD

constexpr SerialReadWait SerialReadWaitFor(uint32_t timeoutMs) {
    if (timeoutMs == 0)
        return {kSerialWaitMax, 0, 0};
    return {kSerialWaitMax, kSerialWaitMax, timeoutMs < kSerialWaitMax ? timeoutMs : kSerialWaitMax - 1};
}
