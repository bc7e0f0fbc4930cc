// One serial-port API over the platform's own calls: open and configure a named device
// exclusively, write and read with a bounded wait, close. The driver only writes; reading
// is for the display simulator's end of the line.
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

enum class DataBits : uint8_t { Five = 5, Six = 6, Seven = 7, Eight = 8 };
enum class Parity : uint8_t { None, Odd, Even, Mark, Space };
enum class StopBits : uint8_t { One, Two };

// The line settings the host asks for, in terms every platform's port understands.
struct LineSettings {
    uint32_t baudRate;
    DataBits dataBits;
    Parity parity;
    StopBits stopBits;
};

// The host codes data bits as 5 to 8 and parity as 0 none, 1 odd, 2 even, 3 mark, 4 space
// (in the low byte of each field). Anything else is a setting no port takes: it is refused
// the same way on every platform, before a port is touched.
inline bool MapDataBits(uint16_t hostDataBits, DataBits& out) {
    switch (hostDataBits & 0xFF) {
    case 5: out = DataBits::Five; return true;
    case 6: out = DataBits::Six; return true;
    case 7: out = DataBits::Seven; return true;
    case 8: out = DataBits::Eight; return true;
    default: return false;
    }
}

inline bool MapParity(uint16_t hostParity, Parity& out) {
    switch (hostParity & 0xFF) {
    case 0: out = Parity::None; return true;
    case 1: out = Parity::Odd; return true;
    case 2: out = Parity::Even; return true;
    case 3: out = Parity::Mark; return true;
    case 4: out = Parity::Space; return true;
    default: return false;
    }
}

// The host codes stop bits as 1 or 2; anything else means one.
inline StopBits MapStopBits(int16_t hostStopBits) {
    return hostStopBits == 2 ? StopBits::Two : StopBits::One;
}

// Each write may take this long per byte before it gives up.
constexpr uint32_t kWriteTimeoutPerByteMs = 60;

// Why a port did not open.
enum class SerialOpenFailure : uint8_t {
    None,            // it opened
    NoSuchPort,      // no device by that name (or a name too long to be one)
    InUse,           // another program holds it
    NotSerial,       // the name is a device, but not a serial line
    SettingsRefused, // it opened, but refused the line settings
    Other,           // anything else: systemError says what
};

struct SerialOpenResult {
    SerialHandle port;        // kNoSerialHandle unless failure is None
    SerialOpenFailure failure;
    uint32_t systemError;     // the platform's code behind the failure (GetLastError, errno)

    bool opened() const { return failure == SerialOpenFailure::None; }
};

// Opens the device (on Windows "//./" + name) for exclusive reading and writing, applies
// the settings, clears both directions and sets the write time-out. Bytes go out and come
// in as they are: no line editing, echo or translation. On failure nothing is left open,
// the result says why, and (on Windows) the thread's last error is the code.
SerialOpenResult OpenSerialPort(const char* name, const LineSettings& settings);

void CloseSerialPort(SerialHandle port);

// Writes the bytes, waiting at most kWriteTimeoutPerByteMs per byte. Returns how many
// bytes went out, or -1 when the write failed or was given no port, no bytes or a negative
// length.
int32_t WriteSerialPort(SerialHandle port, const uint8_t* data, int32_t length);

// Waits at most timeoutMs for bytes to arrive and reads those that have, up to capacity,
// without waiting for the buffer to fill. Returns how many bytes were read (0 when none
// came in time), or -1 when the read failed or was given no port, no buffer or a capacity
// below 1. A line that has hung up (a pseudo-terminal whose other end closed, a device
// that went away) fails rather than waiting out the time. On failure errno (on Windows the
// thread's last error) says why.
int32_t ReadSerialPort(SerialHandle port, uint8_t* buffer, int32_t capacity, uint32_t timeoutMs);
