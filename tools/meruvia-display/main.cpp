// meruvia-display: plays the LED display on a serial line. Reads frames from a serial
// device or from a pseudo-terminal it creates, and shows each reading as large
// seven-segment digits, redrawn in place, or one log line per frame with --log.
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/time.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>

#include "frame_decoder.h"
#include "seven_segment.h"

namespace {

const char kUsage[] =
    "usage: meruvia-display (--device PATH | --pty [--link PATH]) [--log] [--frames N]\n"
    "                       [--timeout SECONDS]\n"
    "\n"
    "Plays the MERUVIA LED display: reads the 8-byte frames a driver sends (\"=\" and seven\n"
    "characters, last first) and shows the reading.\n"
    "\n"
    "  --device PATH      read an existing serial device (for example /dev/ttyUSB0), or\n"
    "                     - for standard input (a capture of the line)\n"
    "  --pty              create a pseudo-terminal and print the path of its other end\n"
    "  --link PATH        with --pty: also make PATH a symbolic link to that end (for a\n"
    "                     Wine prefix: $WINEPREFIX/dosdevices/com5 makes it COM5)\n"
    "  --log              one line per frame: time, bytes in hex, reading\n"
    "  --frames N         stop after N frames\n"
    "  --timeout SECONDS  stop when nothing arrives for this long\n"
    "\n"
    "Exit status: 0 done, 1 bad usage, 2 the line could not be opened.\n";

volatile sig_atomic_t g_stop = 0;
void OnSignal(int) { g_stop = 1; }

struct Options {
    std::string device;
    bool pty = false;
    std::string link;
    bool log = false;
    long frames = -1;
    double timeout = -1;
};

bool ParseOptions(int argc, char** argv, Options& o) {
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        auto value = [&](const char* name) -> const char* {
            if (i + 1 >= argc) {
                fprintf(stderr, "meruvia-display: %s needs a value\n", name);
                return nullptr;
            }
            return argv[++i];
        };
        if (a == "--help" || a == "-h") {
            fputs(kUsage, stdout);
            exit(0);
        } else if (a == "--device") {
            const char* v = value("--device");
            if (v == nullptr)
                return false;
            o.device = v;
        } else if (a == "--pty") {
            o.pty = true;
        } else if (a == "--link") {
            const char* v = value("--link");
            if (v == nullptr)
                return false;
            o.link = v;
        } else if (a == "--log") {
            o.log = true;
        } else if (a == "--frames" || a == "--timeout") {
            const char* v = value(a.c_str());
            if (v == nullptr)
                return false;
            char* end = nullptr;
            const double n = strtod(v, &end);
            if (*end != '\0' || n <= 0) {
                fprintf(stderr, "meruvia-display: %s wants a positive number, not '%s'\n", a.c_str(), v);
                return false;
            }
            if (a == "--frames")
                o.frames = static_cast<long>(n);
            else
                o.timeout = n;
        } else {
            fprintf(stderr, "meruvia-display: unknown option '%s'\n", a.c_str());
            return false;
        }
    }
    if (o.pty == !o.device.empty()) {
        fprintf(stderr, "meruvia-display: give either --device PATH or --pty\n");
        return false;
    }
    if (!o.link.empty() && !o.pty) {
        fprintf(stderr, "meruvia-display: --link goes with --pty\n");
        return false;
    }
    return true;
}

std::string Timestamp() {
    timeval tv;
    gettimeofday(&tv, nullptr);
    tm local;
    localtime_r(&tv.tv_sec, &local);
    char text[32];
    snprintf(text, sizeof text, "%02d:%02d:%02d.%03ld", local.tm_hour, local.tm_min, local.tm_sec,
             static_cast<long>(tv.tv_usec / 1000));
    return text;
}

std::string Hex(const std::vector<uint8_t>& bytes) {
    std::string s;
    char b[4];
    for (size_t i = 0; i < bytes.size(); ++i) {
        snprintf(b, sizeof b, i == 0 ? "%02X" : " %02X", bytes[i]);
        s += b;
    }
    return s;
}

// Opens the line for reading, raw. Returns the descriptor, or -1 after saying why.
int OpenLine(const Options& o, int& keepSlave) {
    keepSlave = -1;
    if (o.device == "-")
        return STDIN_FILENO;
    if (!o.pty) {
        const int fd = open(o.device.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
        if (fd < 0) {
            fprintf(stderr, "meruvia-display: cannot open %s: %s\n", o.device.c_str(), strerror(errno));
            return -1;
        }
        termios t;
        if (tcgetattr(fd, &t) == 0) {
            cfmakeraw(&t);
            tcsetattr(fd, TCSANOW, &t);
        }
        return fd;
    }
    int master = -1;
    char name[128] = {};
    if (openpty(&master, &keepSlave, name, nullptr, nullptr) != 0) {
        fprintf(stderr, "meruvia-display: cannot create a pseudo-terminal: %s\n", strerror(errno));
        return -1;
    }
    termios t;
    tcgetattr(keepSlave, &t);
    cfmakeraw(&t);
    tcsetattr(keepSlave, TCSANOW, &t);
    if (!o.link.empty()) {
        unlink(o.link.c_str());
        if (symlink(name, o.link.c_str()) != 0) {
            fprintf(stderr, "meruvia-display: cannot link %s to %s: %s\n", o.link.c_str(), name,
                    strerror(errno));
            return -1;
        }
    }
    if (o.link.empty())
        printf("listening on %s\n", name);
    else
        printf("listening on %s (linked from %s)\n", name, o.link.c_str());
    fflush(stdout);
    return master;
}

} // namespace

int main(int argc, char** argv) {
    Options o;
    if (!ParseOptions(argc, argv, o)) {
        fputs("meruvia-display: --help lists the options\n", stderr);
        return 1;
    }
    signal(SIGINT, OnSignal);
    signal(SIGTERM, OnSignal);
    int slave = -1;
    const int fd = OpenLine(o, slave);
    if (fd < 0)
        return 2;
    const bool tty = isatty(STDOUT_FILENO) && !o.log;

    FrameDecoder decoder;
    long frames = 0;
    bool drawn = false;
    while (!g_stop && (o.frames < 0 || frames < o.frames)) {
        pollfd p = {fd, POLLIN, 0};
        const int waitMs = o.timeout > 0 ? static_cast<int>(o.timeout * 1000) : 500;
        const int ready = poll(&p, 1, waitMs);
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready == 0) {
            if (o.timeout > 0)
                break;
            continue;
        }
        uint8_t buf[256];
        const ssize_t n = read(fd, buf, sizeof buf);
        if (n <= 0) {
            if (n < 0 && (errno == EINTR || errno == EAGAIN))
                continue;
            if (n < 0 && errno == EIO && o.pty) { // no writer on the other end yet, or any more
                usleep(50000);
                continue;
            }
            break;
        }
        std::vector<LineEvent> events;
        decoder.Feed(buf, static_cast<size_t>(n), events);
        for (const LineEvent& e : events) {
            if (e.kind == LineEvent::Malformed) {
                fprintf(o.log ? stdout : stderr, "%s malformed %s\n", Timestamp().c_str(), Hex(e.bytes).c_str());
                continue;
            }
            ++frames;
            if (o.log) {
                printf("%s %s reading %s\n", Timestamp().c_str(), Hex(e.bytes).c_str(), e.reading.c_str());
            } else {
                if (tty && drawn)
                    fputs("\x1b[3A\r", stdout); // back over the last drawing
                fputs(DrawSevenSegment(e.reading).c_str(), stdout);
                drawn = true;
            }
            fflush(stdout);
        }
    }
    if (!o.link.empty())
        unlink(o.link.c_str());
    if (fd != STDIN_FILENO)
        close(fd);
    if (slave >= 0)
        close(slave);
    return 0;
}
