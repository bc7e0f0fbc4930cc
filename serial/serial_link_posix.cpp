// POSIX: termios on a file descriptor, with the same effects as the Windows backend:
// exclusive open, the host's line settings on a raw line, both directions flushed, and a
// write that gives up after 60 ms per byte.
#include "serial/serial_link.h"

#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>

namespace {

bool ToSpeed(uint32_t baud, speed_t& speed) {
    switch (baud) {
    case 50: speed = B50; return true;
    case 75: speed = B75; return true;
    case 110: speed = B110; return true;
    case 134: speed = B134; return true;
    case 150: speed = B150; return true;
    case 200: speed = B200; return true;
    case 300: speed = B300; return true;
    case 600: speed = B600; return true;
    case 1200: speed = B1200; return true;
    case 1800: speed = B1800; return true;
    case 2400: speed = B2400; return true;
    case 4800: speed = B4800; return true;
    case 9600: speed = B9600; return true;
    case 19200: speed = B19200; return true;
    case 38400: speed = B38400; return true;
    case 57600: speed = B57600; return true;
    case 115200: speed = B115200; return true;
    case 230400: speed = B230400; return true;
#ifdef B460800
    case 460800: speed = B460800; return true;
#endif
#ifdef B921600
    case 921600: speed = B921600; return true;
#endif
    default: return false;
    }
}

tcflag_t ToCharacterSize(DataBits dataBits) {
    switch (dataBits) {
    case DataBits::Five: return CS5;
    case DataBits::Six: return CS6;
    case DataBits::Seven: return CS7;
    case DataBits::Eight: break;
    }
    return CS8;
}

// False where the system has no mark or space parity.
bool ToParityFlags(Parity parity, tcflag_t& flags) {
    switch (parity) {
    case Parity::None: flags = 0; return true;
    case Parity::Odd: flags = PARENB | PARODD; return true;
    case Parity::Even: flags = PARENB; return true;
#ifdef CMSPAR
    case Parity::Mark: flags = PARENB | PARODD | CMSPAR; return true;
    case Parity::Space: flags = PARENB | CMSPAR; return true;
#else
    case Parity::Mark:
    case Parity::Space: return false;
#endif
    }
    return false;
}

bool ApplySettings(int fd, const LineSettings& s) {
    speed_t speed;
    tcflag_t parity;
    if (!ToSpeed(s.baudRate, speed) || !ToParityFlags(s.parity, parity))
        return false;
    const tcflag_t size = ToCharacterSize(s.dataBits);

    termios tio;
    if (tcgetattr(fd, &tio) != 0)
        return false;
    tcflag_t parityMask = PARENB | PARODD;
#ifdef CMSPAR
    parityMask |= CMSPAR;
#endif
    tio.c_cflag &= ~(CSIZE | parityMask | CSTOPB);
    tio.c_cflag |= size | parity | (s.stopBits == StopBits::Two ? CSTOPB : 0) | CLOCAL | CREAD;
    // Bytes go out and come in as they are, as on a Windows port: no output processing, no
    // line editing, echo, signals or input translation, and no XON/XOFF taking bytes out
    // of the stream. A read has whatever has arrived, from one byte on.
    tio.c_oflag &= ~static_cast<tcflag_t>(OPOST);
    tio.c_iflag &= ~static_cast<tcflag_t>(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL | IXON |
                                          IXOFF | IXANY);
    tio.c_lflag &= ~static_cast<tcflag_t>(ECHO | ECHOE | ECHOK | ECHONL | ICANON | ISIG | IEXTEN);
    tio.c_cc[VMIN] = 1;
    tio.c_cc[VTIME] = 0;
    if (cfsetispeed(&tio, speed) != 0 || cfsetospeed(&tio, speed) != 0)
        return false;
    return tcsetattr(fd, TCSANOW, &tio) == 0;
}

int64_t NowMs() {
    timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<int64_t>(ts.tv_sec) * 1000 + ts.tv_nsec / 1000000;
}

SerialOpenResult NotOpened(int fd, SerialOpenFailure failure, int error) {
    if (fd >= 0)
        close(fd);
    return {-1, failure, static_cast<uint32_t>(error)};
}

} // namespace

SerialOpenResult OpenSerialPort(const char* name, const LineSettings& settings) {
    const int fd = open(name, O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        const int error = errno;
        const bool absent = error == ENOENT || error == ENOTDIR || error == ENAMETOOLONG || error == ENXIO ||
                            error == ENODEV;
        return NotOpened(fd, absent ? SerialOpenFailure::NoSuchPort
                             : error == EBUSY ? SerialOpenFailure::InUse
                                              : SerialOpenFailure::Other,
                         error);
    }
    if (!isatty(fd))
        return NotOpened(fd, SerialOpenFailure::NotSerial, ENOTTY);
    // TIOCEXCL keeps other openers out (except privileged ones); the lock covers those
    // that cooperate.
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const int error = errno;
        return NotOpened(fd, error == EWOULDBLOCK ? SerialOpenFailure::InUse : SerialOpenFailure::Other, error);
    }
    if (ioctl(fd, TIOCEXCL) != 0)
        return NotOpened(fd, SerialOpenFailure::Other, errno);
    errno = 0; // a setting this system has no flag for sets none
    if (!ApplySettings(fd, settings))
        return NotOpened(fd, SerialOpenFailure::SettingsRefused, errno == 0 ? EINVAL : errno);
    tcflush(fd, TCIOFLUSH);
    return {fd, SerialOpenFailure::None, 0};
}

void CloseSerialPort(SerialHandle port) {
    if (port >= 0)
        close(port);
}

int32_t WriteSerialPort(SerialHandle port, const uint8_t* data, int32_t length) {
    if (port == kNoSerialHandle || port < 0 || data == nullptr || length < 0)
        return -1;
    const int64_t deadline = NowMs() + static_cast<int64_t>(length) * kWriteTimeoutPerByteMs;
    int32_t done = 0;
    while (done < length) {
        const ssize_t n = write(port, data + done, static_cast<size_t>(length - done));
        if (n > 0) {
            done += static_cast<int32_t>(n);
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && errno != EAGAIN)
            return done > 0 ? done : -1;
        const int64_t left = deadline - NowMs();
        if (left <= 0)
            break;
        pollfd p = {port, POLLOUT, 0};
        const int ready = poll(&p, 1, static_cast<int>(left));
        if (ready < 0 && errno != EINTR)
            return done > 0 ? done : -1;
        if (ready > 0 && (p.revents & (POLLERR | POLLHUP | POLLNVAL)) != 0)
            return done > 0 ? done : -1;
    }
    return done;
}
