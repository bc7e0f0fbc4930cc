// One serial-port API over the platform's own calls: open and configure a named device
// exclusively, write with a bounded wait, close. Only transmits.
#pragma once

#include <cstddef>
#include <cstdint>

#ifdef _WIN32
#include <windows.h>
using SerialHandle = HANDLE;
#define MERUVIA_NO_SERIAL_HANDLE INVALID_HANDLE_VALUE
#else
using SerialHandle = int;
#define MERUVIA_NO_SERIAL_HANDLE (-1)
#endif

inline const SerialHandle kNoSerialHandle = MERUVIA_NO_SERIAL_HANDLE;

enum class StopBits { One, Two };

// The line settings the host asks for; values are passed to the port as they are.
struct LineSettings {
    uint32_t baudRate;
    uint8_t dataBits;
    uint8_t parity; // 0 none, 1 odd, 2 even, 3 mark, 4 space
    StopBits stopBits;
};

// The host codes stop bits as 1 or 2; anything else means one.
inline StopBits MapStopBits(int16_t hostStopBits) {
    return hostStopBits == 2 ? StopBits::Two : StopBits::One;
}

// Each write may take this long per byte before it gives up.
constexpr uint32_t kWriteTimeoutPerByteMs = 60;

// Opens the device (on Windows "//./" + name) for exclusive reading and writing, applies
// the settings, clears both directions and sets the write time-out. Returns kNoSerialHandle
// when the device cannot be opened or refuses the settings; nothing is left open then.
SerialHandle OpenSerialPort(const char* name, const LineSettings& settings);

void CloseSerialPort(SerialHandle port);

// Writes the bytes, waiting at most kWriteTimeoutPerByteMs per byte. Returns how many
// bytes went out, or -1 when the write failed.
int32_t WriteSerialPort(SerialHandle port, const uint8_t* data, int32_t length);
