// meruvia-send: tries a MERUVIA display from Linux (a laptop with a USB serial adapter):
// sends values, or the lamp test, through the same serial link and frame encoder as the
// driver, with the same line options as meruvia-host.
#include <time.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "exit_codes.h"
#include "line_options.h"
#include "serial/serial_link.h"

namespace {

const char kUsageText[] =
    "usage: meruvia-send --port DEVICE [line options] [VALUE ...]\n"
    "       meruvia-send --port DEVICE [line options] --lamp-test [--interval MS]\n"
    "\n"
    "Sends each VALUE to the MERUVIA display on a serial device, one 8-byte frame per value,\n"
    "exactly as the driver does. With no VALUE, values are read from standard input, one\n"
    "per line.\n"
    "\n"
    "  --port DEVICE      serial device, for example /dev/ttyUSB0 (required)\n"
    "  --baud N           line speed (default 9600)\n"
    "  --data-bits N      5 to 8 (default 8)\n"
    "  --parity P         none, odd, even, mark or space; N, O, E, M, S; or 0 to 4 (default none)\n"
    "  --stop-bits N      1 or 2 (default 1)\n"
    "  --lamp-test        light every segment, then each digit 0 to 9 in every place,\n"
    "                     then 123.456 (the order of the places), then dashes\n"
    "  --interval MS      time between lamp-test frames (default 1000)\n"
    "  --help             this text\n"
    "\n"
    "Exit status: 0 all values sent; 1 bad usage or a value that is not a number;\n"
    "4 the device could not be opened with these settings; 5 a frame did not go out whole.\n";


struct Options {
    LineOptions line;
    bool lampTest = false;
    unsigned long intervalMs = 1000;
    std::vector<std::string> values;
};

int ParseOptions(int argc, char** argv, Options& o) {
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        const char* v = i + 1 < argc ? argv[i + 1] : nullptr;
        switch (TakeLineOption(argc, argv, i, o.line)) {
        case OptionResult::Taken:
            continue;
        case OptionResult::NoValue:
            fprintf(stderr, "meruvia-send: %s needs a value\n", a.c_str());
            return kUsage;
        case OptionResult::BadValue:
            fprintf(stderr, "meruvia-send: '%s' is not a valid value for %s\n", v, a.c_str());
            return kUsage;
        case OptionResult::NotMine:
            break;
        }
        if (a == "--help" || a == "-h") {
            fputs(kUsageText, stdout);
            exit(kOk);
        } else if (a == "--lamp-test") {
            o.lampTest = true;
        } else if (a == "--interval") {
            char* end = nullptr;
            errno = 0;
            o.intervalMs = v != nullptr ? strtoul(v, &end, 10) : 0;
            if (v == nullptr || errno != 0 || end == v || *end != '\0' || v[0] == '-' || o.intervalMs > 3600000) {
                fprintf(stderr, "meruvia-send: --interval needs a number of milliseconds\n");
                return kUsage;
            }
            ++i;
        } else if (a.size() > 1 && a[0] == '-' && a[1] == '-') {
            fprintf(stderr, "meruvia-send: unknown option %s\n", a.c_str());
            return kUsage;
        } else {
            o.values.push_back(a);
        }
    }
    if (o.line.port.empty()) {
        fprintf(stderr, "meruvia-send: --port DEVICE is needed (for example /dev/ttyUSB0)\n");
        return kUsage;
    }
    return kOk;
}

void SleepMs(unsigned long ms) {
    timespec ts = {static_cast<time_t>(ms / 1000), static_cast<long>(ms % 1000) * 1000000L};
    while (nanosleep(&ts, &ts) != 0 && errno == EINTR) {
    }
}

class Sender {
public:
    explicit Sender(SerialHandle port) : port_(port) {}
    ~Sender() { CloseSerialPort(port_); }
    Sender(const Sender&) = delete;
    Sender& operator=(const Sender&) = delete;

    // False when the frame did not go out whole.
    bool Write(float value, const char* shown) {
        const DisplayFrame frame = EncodeDisplayFrame(FloatBits(value));
        if (WriteSerialPort(port_, frame.bytes, kDisplayFrameSize) != static_cast<int32_t>(kDisplayFrameSize)) {
            fprintf(stderr, "meruvia-send: the frame for %s did not go out whole: the line is stalled or closed\n",
                    shown);
            return false;
        }
        printf("sent %s as %s, display reads %s\n", shown, FrameText(frame).c_str(), Reading(frame).c_str());
        return true;
    }

    int Send(const std::string& text) {
        float value = 0;
        if (!ParseValue(text, value)) {
            fprintf(stderr, "meruvia-send: '%s' is not a number; skipped\n", text.c_str());
            return kUsage;
        }
        if (!HasDigits(value))
            fprintf(stderr, "meruvia-send: %s has no digits to show: the display reads ---.---\n", text.c_str());
        else if (!IsShownWhole(value))
            fprintf(stderr,
                    "meruvia-send: warning: %s is outside what the display shows (-99.999 to 999.999); it will "
                    "read %s\n",
                    text.c_str(), Reading(EncodeDisplayFrame(FloatBits(value))).c_str());
        return Write(value, text.c_str()) ? kOk : kWriteFailed;
    }

private:
    SerialHandle port_;
};

int SendValues(Sender& sender, const std::vector<std::string>& values) {
    return SendEach(values, [&sender](const std::string& text) { return sender.Send(text); });
}

int LampTest(Sender& sender, unsigned long intervalMs) {
    for (int k = 0; k < kLampTestFrames; ++k) {
        if (k > 0)
            SleepMs(intervalMs);
        const std::string reading = Reading(EncodeDisplayFrame(FloatBits(kLampTestValues[k])));
        printf("lamp test %d/%d: ", k + 1, kLampTestFrames);
        if (!sender.Write(kLampTestValues[k], reading.c_str()))
            return kWriteFailed;
    }
    return kOk;
}

} // namespace

int main(int argc, char** argv) {
    setvbuf(stdout, nullptr, _IOLBF, 0);
    Options o;
    if (const int rc = ParseOptions(argc, argv, o); rc != kOk) {
        fputs("meruvia-send: --help lists the options\n", stderr);
        return rc;
    }
    const SerialOpenResult opened = OpenSerialPort(o.line.port.c_str(), ToLineSettings(o.line));
    if (!opened.opened()) {
        const int error = static_cast<int>(opened.systemError);
        const char* why = opened.failure == SerialOpenFailure::InUse             ? "another program holds it"
                          : opened.failure == SerialOpenFailure::SettingsRefused ? "the device does not accept these settings"
                          : opened.failure == SerialOpenFailure::NotSerial       ? "it is not a serial line"
                                                                                 : strerror(error);
        fprintf(stderr, "meruvia-send: cannot open %s at %s: %s\n", o.line.port.c_str(), LineSummary(o.line).c_str(),
                why);
        return kNoPort;
    }
    const SerialHandle port = opened.port;
    printf("opened %s at %s\n", o.line.port.c_str(), LineSummary(o.line).c_str());
    Sender sender(port);
    return o.lampTest ? LampTest(sender, o.intervalMs) : SendValues(sender, o.values);
}
