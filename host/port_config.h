// A PortConfig as the host fills one, for whatever plays the host: tools, tests,
// benchmarks. Also the usual letters for the host's parity codes.
#pragma once

#include <cstdint>
#include <cstring>

#include "host/host_records.h"

// Indexed by the host's parity code (0 none, 1 odd, 2 even, 3 mark, 4 space): "8N1".
inline constexpr char kParityLetters[] = "NOEMS";

// False, and config left empty, when the name does not fit the host's 32-byte field with
// its terminator.
inline bool MakePortConfig(const char* name, uint32_t baudRate, uint16_t dataBits, int16_t stopBits,
                           uint16_t parity, PortConfig& config) {
    config = PortConfig{};
    const size_t length = strlen(name);
    if (length >= sizeof config.szPortName)
        return false;
    memcpy(config.szPortName, name, length);
    config.nBaudRate = baudRate;
    config.nDataBits = dataBits;
    config.nStopBits = stopBits;
    config.nParity = parity;
    return true;
}
