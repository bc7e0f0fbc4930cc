// POSIX: the read, kept apart from the rest of the link as on Windows. It waits in poll()
// and reads what has come; a line that has hung up fails with EIO.
#include "serial/serial_link.h"

#include <cerrno>
#include <poll.h>
#include <time.h>
#include <unistd.h>

namespace {

int64_t NowMs() {
    timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<int64_t>(ts.tv_sec) * 1000 + ts.tv_nsec / 1000000;
}

} // namespace

int32_t ReadSerialPort(SerialHandle port, uint8_t* buffer, int32_t capacity, uint32_t timeoutMs) {
    if (port == kNoSerialHandle || port < 0 || buffer == nullptr || capacity < 1) {
        errno = EINVAL;
        return -1;
    }
    const int64_t deadline = NowMs() + timeoutMs;
    for (;;) {
        // poll() takes an int of milliseconds; a longer wait goes round again.
        const int64_t left = deadline - NowMs();
        pollfd p = {port, POLLIN, 0};
        const int ready = poll(&p, 1, left <= 0 ? 0 : left > INT32_MAX ? INT32_MAX : static_cast<int>(left));
        if (ready < 0) {
            if (errno != EINTR)
                return -1;
        } else if (ready > 0) {
            const ssize_t n = read(port, buffer, static_cast<size_t>(capacity));
            if (n > 0)
                return static_cast<int32_t>(n);
            if (n < 0 && errno != EINTR && errno != EAGAIN)
                return -1; // EIO from a line whose other end has closed, among others
            // Readable, yet nothing to read: a hung-up line reports end of file (or no data)
            // for ever, and would only spin until the deadline.
            if ((p.revents & (POLLHUP | POLLERR)) != 0) {
                errno = EIO;
                return -1;
            }
        }
        if (NowMs() >= deadline)
            return 0;
    }
}
