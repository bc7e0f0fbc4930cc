// The port a driver object writes to, and whether it is the object's to close. A port
// opened here is closed when it is replaced or the holder goes away; a port adopted from
// the host stays the host's, closed only when asked to close it outright.
#pragma once

#include "serial/serial_link.h"

class SerialPort {
public:
    SerialPort() = default;
    ~SerialPort() { ReleaseOpenedHere(); }
    SerialPort(const SerialPort&) = delete;
    SerialPort& operator=(const SerialPort&) = delete;

    SerialHandle handle() const { return port_; }
    bool held() const { return port_ != kNoSerialHandle; }
    bool openedHere() const { return openedHere_; }

    // Opens the named port. Only once it has opened does it replace the one held; on
    // failure the port held stays as it was.
    SerialOpenResult Open(const char* name, const LineSettings& settings) {
        const SerialOpenResult result = OpenSerialPort(name, settings);
        if (result.opened()) {
            ReleaseOpenedHere();
            port_ = result.port;
            openedHere_ = true;
        }
        return result;
    }

    // Holds the host's port from now on. A port opened here is closed first, unless it is
    // the very port being handed over: that one stays open and becomes the host's.
    // Returns whether a port was closed.
    bool Adopt(SerialHandle port) {
        const bool closed = port != port_ && ReleaseOpenedHere();
        port_ = port;
        openedHere_ = false;
        return closed;
    }

    // Closes whatever is held, opened here or adopted. Returns whether a port was closed.
    bool Close() {
        const bool closed = held();
        if (closed)
            CloseSerialPort(port_);
        port_ = kNoSerialHandle;
        openedHere_ = false;
        return closed;
    }

    // Closes the port only if it was opened here; an adopted port is left alone.
    // Returns whether a port was closed.
    bool ReleaseOpenedHere() { return openedHere_ && Close(); }

private:
    SerialHandle port_ = kNoSerialHandle;
    bool openedHere_ = false;
};
