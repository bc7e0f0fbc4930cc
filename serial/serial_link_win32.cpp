// Windows: the port is a file handle; all I/O on it is synchronous.
#include "serial/serial_link.h"
#include "serial/serial_seams.h"

#include <cstring>

BOOL(WINAPI* g_pfnSetCommState)(HANDLE, LPDCB) = SetCommState;

namespace {

constexpr DWORD kInputQueue = 1024;
constexpr DWORD kOutputQueue = 512;
constexpr DWORD kEventMask = EV_RXCHAR | EV_BREAK;
constexpr DWORD kPurgeAll = PURGE_TXABORT | PURGE_RXABORT | PURGE_TXCLEAR | PURGE_RXCLEAR;

BYTE ToDcbByteSize(DataBits dataBits) {
    switch (dataBits) {
    case DataBits::Five: return 5;
    case DataBits::Six: return 6;
    case DataBits::Seven: return 7;
    case DataBits::Eight: break;
    }
    return 8;
}

BYTE ToDcbParity(Parity parity) {
    switch (parity) {
    case Parity::Odd: return ODDPARITY;
    case Parity::Even: return EVENPARITY;
    case Parity::Mark: return MARKPARITY;
    case Parity::Space: return SPACEPARITY;
    case Parity::None: break;
    }
    return NOPARITY;
}

BYTE ToDcbStopBits(StopBits stopBits) {
    switch (stopBits) {
    case StopBits::Two: return TWOSTOPBITS;
    case StopBits::One: break;
    }
    return ONESTOPBIT;
}

SerialOpenFailure FailureOfCreateFile(DWORD error) {
    switch (error) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_NAME:
    case ERROR_FILENAME_EXCED_RANGE: return SerialOpenFailure::NoSuchPort;
    // A port is opened without sharing, so a port held elsewhere answers "access denied".
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION: return SerialOpenFailure::InUse;
    default: return SerialOpenFailure::Other;
    }
}

// The result for a port that did not open; the thread's last error says the same.
SerialOpenResult NotOpened(SerialOpenFailure failure, DWORD error) {
    SetLastError(error);
    return {INVALID_HANDLE_VALUE, failure, error};
}

} // namespace

SerialOpenResult OpenSerialPort(const char* name, const LineSettings& settings) {
    static const char kDevicePrefix[] = "//./";
    constexpr size_t kMaxName = 64;
    const size_t nameLen = strnlen(name, kMaxName + 1);
    if (nameLen > kMaxName)
        return NotOpened(SerialOpenFailure::NoSuchPort, ERROR_FILENAME_EXCED_RANGE);
    char path[sizeof kDevicePrefix + kMaxName] = {};
    memcpy(path, kDevicePrefix, sizeof kDevicePrefix - 1);
    memcpy(path + sizeof kDevicePrefix - 1, name, nameLen);
    HANDLE port = CreateFileA(path, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (port == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        return NotOpened(FailureOfCreateFile(error), error);
    }

    // Only SetCommState decides whether the port is usable. The other set-up calls are
    // advice a port may decline (a USB adapter without queue sizes, a virtual port without
    // events) and installed hosts rely on such ports opening, so their results are ignored.
    SetupComm(port, kInputQueue, kOutputQueue);

    // Read-modify-write: only the line settings change, the rest stays as the port had it
    // (on a port that cannot report its state the block starts empty).
    DCB dcb = {};
    dcb.DCBlength = sizeof dcb;
    GetCommState(port, &dcb);
    dcb.BaudRate = settings.baudRate;
    dcb.ByteSize = ToDcbByteSize(settings.dataBits);
    dcb.Parity = ToDcbParity(settings.parity);
    dcb.StopBits = ToDcbStopBits(settings.stopBits);
    if (!g_pfnSetCommState(port, &dcb)) {
        const DWORD refused = GetLastError();
        CloseHandle(port);
        return NotOpened(SerialOpenFailure::SettingsRefused, refused);
    }

    SetCommMask(port, kEventMask);
    PurgeComm(port, kPurgeAll);
    // Reads return at once; a write of n bytes gives up after 60 * n ms.
    COMMTIMEOUTS timeouts = {MAXDWORD, 0, 0, kWriteTimeoutPerByteMs, 0};
    SetCommTimeouts(port, &timeouts);
    return {port, SerialOpenFailure::None, ERROR_SUCCESS};
}

void CloseSerialPort(SerialHandle port) {
    if (port != INVALID_HANDLE_VALUE)
        CloseHandle(port);
}

int32_t WriteSerialPort(SerialHandle port, const uint8_t* data, int32_t length) {
    if (port == kNoSerialHandle || port == nullptr || data == nullptr || length < 0)
        return -1;
    DWORD written = 0;
    if (!WriteFile(port, data, static_cast<DWORD>(length), &written, nullptr))
        return -1;
    return static_cast<int32_t>(written);
}
