#include "display_line.h"

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "tool_console.h"

namespace {

std::string WhyNotOpened(const SerialOpenResult& opened, const ToolTexts& t) {
    const char* words = PortFailureText(opened.failure, t);
    return words != nullptr ? words : strerror(static_cast<int>(opened.systemError));
}

} // namespace

DisplayLine::~DisplayLine() {
    if (port_ != kNoSerialHandle)
        CloseSerialPort(port_);
    if (!link_.empty())
        unlink(link_.c_str());
    if (fd_ > STDIN_FILENO)
        close(fd_);
    if (slave_ >= 0)
        close(slave_);
}

bool DisplayLine::Open(const DisplayLineOptions& options, const ToolTexts& t) {
    t_ = &t;
    name_ = options.line.port;
    if (!options.pty && name_ == "-") {
        fd_ = STDIN_FILENO;
        return true;
    }
    if (!options.pty) {
        const SerialOpenResult opened = OpenSerialPort(name_.c_str(), ToLineSettings(options.line));
        if (!opened.opened()) {
            Complain(t.cannotOpenBecause, name_.c_str(), LineSummary(options.line).c_str(),
                     WhyNotOpened(opened, t).c_str());
            return false;
        }
        port_ = opened.port;
        return true;
    }
    char name[128] = {};
    if (openpty(&fd_, &slave_, name, nullptr, nullptr) != 0) {
        Complain(t.cannotCreatePty, strerror(errno));
        return false;
    }
    name_ = name;
    termios raw;
    tcgetattr(slave_, &raw);
    cfmakeraw(&raw);
    tcsetattr(slave_, TCSANOW, &raw);
    if (!options.link.empty()) {
        unlink(options.link.c_str());
        if (symlink(name, options.link.c_str()) != 0) {
            Complain(t.cannotLink, options.link.c_str(), name, strerror(errno));
            return false;
        }
        link_ = options.link;
        Print(stdout, t.listeningLinked, name, link_.c_str());
    } else {
        Print(stdout, t.listening, name);
    }
    Print(stdout, "\n");
    return true;
}

int32_t DisplayLine::Read(uint8_t* buffer, int32_t capacity, uint32_t timeoutMs) {
    if (port_ != kNoSerialHandle) {
        const int32_t n = ReadSerialPort(port_, buffer, capacity, timeoutMs);
        if (n < 0)
            Complain(t_->cannotRead, name_.c_str(), strerror(errno));
        return n;
    }
    pollfd p = {fd_, POLLIN, 0};
    const int ready = poll(&p, 1, static_cast<int>(timeoutMs));
    if (ready < 0)
        return errno == EINTR ? 0 : -1;
    if (ready == 0)
        return 0;
    const ssize_t n = read(fd_, buffer, static_cast<size_t>(capacity));
    if (n > 0)
        return static_cast<int32_t>(n);
    if (n < 0 && (errno == EINTR || errno == EAGAIN))
        return 0;
    if (n < 0 && errno == EIO && slave_ >= 0) { // no writer on the other end yet, or any more
        usleep(static_cast<useconds_t>(timeoutMs) * 1000);
        return 0;
    }
    if (n == 0 && fd_ == STDIN_FILENO)
        ended_ = true;
    else
        Complain(t_->cannotRead, name_.c_str(), n == 0 ? "end of file" : strerror(errno));
    return -1;
}
