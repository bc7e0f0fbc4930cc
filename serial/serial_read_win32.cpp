// Windows: the read, in a file of its own so that an image that only writes (MERUVIA.DLL)
// links none of it and imports nothing for it.
#include "serial/serial_link.h"
#include "serial/serial_read_wait.h"

static_assert(kSerialWaitMax == MAXDWORD, "the read wait's maximum is Windows' own");

// The read waits are set on the port only when they change, and the write time-outs stay
// as they were (OpenSerialPort's, or the host's on a port the host opened). The port keeps
// the last read's waits afterwards.
int32_t ReadSerialPort(SerialHandle port, uint8_t* buffer, int32_t capacity, uint32_t timeoutMs) {
    if (port == kNoSerialHandle || port == nullptr || buffer == nullptr || capacity < 1) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return -1;
    }
    // A port whose time-outs cannot be read or set would not keep to the wait: it fails.
    COMMTIMEOUTS timeouts = {};
    if (!GetCommTimeouts(port, &timeouts))
        return -1;
    const SerialReadWait wait = SerialReadWaitFor(timeoutMs);
    if (timeouts.ReadIntervalTimeout != wait.interval || timeouts.ReadTotalTimeoutMultiplier != wait.multiplier ||
        timeouts.ReadTotalTimeoutConstant != wait.constant) {
        timeouts.ReadIntervalTimeout = wait.interval;
        timeouts.ReadTotalTimeoutMultiplier = wait.multiplier;
        timeouts.ReadTotalTimeoutConstant = wait.constant;
        if (!SetCommTimeouts(port, &timeouts))
            return -1;
    }
    // Some serial drivers (Wine's among them) come back empty before the wait is over: the
    // rest is waited out in short steps, so that an empty read always means a quiet line.
    const DWORD start = GetTickCount();
    for (;;) {
        DWORD got = 0;
        if (!ReadFile(port, buffer, static_cast<DWORD>(capacity), &got, nullptr))
            return -1;
        const DWORD spent = GetTickCount() - start;
        if (got > 0 || spent >= timeoutMs)
            return static_cast<int32_t>(got);
        Sleep(timeoutMs - spent < 10 ? timeoutMs - spent : 10);
    }
}
