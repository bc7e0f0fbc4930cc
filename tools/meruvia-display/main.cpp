// meruvia-display: plays the LED display on a serial line. Reads frames from a serial port
// (on Linux also from a pseudo-terminal it creates, or standard input) and shows each
// reading as large seven-segment digits, redrawn in place, or one log line per frame with
// --log. With two ports joined by a null-modem pair, it stands in for the display while a
// host project is commissioned.
#include <signal.h>

#include <cstdio>
#include <ctime>
#include <string>
#include <vector>

#include "display_line.h"
#include "exit_codes.h"
#include "frame_decoder.h"
#include "option_table.h"
#include "seven_segment.h"
#include "tool_console.h"
#include "tool_texts.h"
#ifdef _WIN32
#include <windows.h>

#include "port_list.h"
#include "windows_text.h"
#else
#include <sys/time.h>
#include <unistd.h>
#endif

namespace {

enum DisplayOptionId { kOptDevice = kFirstToolOption, kOptPty, kOptLink, kOptLog, kOptFrames, kOptTimeout };

enum DisplayExit { kDisplayDone = 0, kDisplayUsage = 1, kDisplayLineFailed = 2 };

OptionTable DisplayOptions() {
#ifdef _WIN32
    OptionTable table = {{kOptDevice, "--device", nullptr, ValueKind::Port, 0, 0, &ToolTexts::valuePort,
                          &ToolTexts::helpDisplayComPort}};
#else
    OptionTable table = {
        {kOptDevice, "--device", nullptr, ValueKind::Text, 0, 0, &ToolTexts::valuePath, &ToolTexts::helpDisplayDevice},
        {kOptPty, "--pty", nullptr, ValueKind::None, 0, 0, nullptr, &ToolTexts::helpPty},
        {kOptLink, "--link", nullptr, ValueKind::Text, 0, 0, &ToolTexts::valuePath, &ToolTexts::helpLink},
    };
#endif
    const OptionTable line = LineOptionRows(nullptr);
    table.insert(table.end(), line.begin(), line.end());
    const OptionTable own = {
        {kOptLog, "--log", nullptr, ValueKind::None, 0, 0, nullptr, &ToolTexts::helpLog},
        {kOptFrames, "--frames", nullptr, ValueKind::Whole, 1, 1000000000, &ToolTexts::valueNumber,
         &ToolTexts::helpFrames},
        {kOptTimeout, "--timeout", nullptr, ValueKind::Seconds, 0, 0, &ToolTexts::valueSeconds,
         &ToolTexts::helpTimeout},
        kLangOption,
#ifdef _WIN32
        kUtf8Option,
#endif
        kVersionOption,
        kHelpOption,
    };
    table.insert(table.end(), own.begin(), own.end());
    return table;
}

volatile sig_atomic_t g_stop = 0;
#ifndef _WIN32
void OnSignal(int) { g_stop = 1; }
#endif

std::string Timestamp() {
    int hour, minute, second, ms;
#ifdef _WIN32
    SYSTEMTIME now;
    GetLocalTime(&now);
    hour = now.wHour, minute = now.wMinute, second = now.wSecond, ms = now.wMilliseconds;
#else
    timeval tv;
    gettimeofday(&tv, nullptr);
    tm local;
    localtime_r(&tv.tv_sec, &local);
    hour = local.tm_hour, minute = local.tm_min, second = local.tm_sec, ms = static_cast<int>(tv.tv_usec / 1000);
#endif
    char text[32];
    snprintf(text, sizeof text, "%02d:%02d:%02d.%03d", hour, minute, second, ms);
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

// Started from the Start menu or by a double-click, with no port given: the ports there are,
// and a question.
void AskForThePort(const ToolTexts& t) {
#ifdef _WIN32
    const std::vector<std::string> ports = SerialPortsOnThisPc(t.docInUse);
    std::string list;
    for (const std::string& p : ports)
        list += (list.empty() ? "" : ", ") + p;
    if (ports.empty())
        Print(stdout, "%s\n", t.docNoPorts);
    else
        Print(stdout, (std::string(t.docPorts) + "\n").c_str(), list.c_str());
#endif
    Print(stdout, "%s", t.displayAskPort);
}

// Reads frames until told to stop, the count is reached or the line stays quiet too long.
int Show(DisplayLine& line, bool log, unsigned long frameLimit, unsigned long timeoutMs) {
    const bool redraw = !log && OutputIsConsole();
    FrameDecoder decoder;
    unsigned long frames = 0, quietMs = 0;
    bool drawn = false;
    while (g_stop == 0 && (frameLimit == 0 || frames < frameLimit)) {
        const uint32_t waitMs = timeoutMs > 0 && timeoutMs - quietMs < 500 ? static_cast<uint32_t>(timeoutMs - quietMs)
                                                                           : 500;
        uint8_t buf[256];
        const int32_t n = line.Read(buf, sizeof buf, waitMs);
        if (n < 0)
            return g_stop != 0 || line.Ended() ? kDisplayDone : kDisplayLineFailed;
        if (n == 0) {
            quietMs += waitMs;
            if (timeoutMs > 0 && quietMs >= timeoutMs)
                break;
            continue;
        }
        quietMs = 0;
        std::vector<LineEvent> events;
        decoder.Feed(buf, static_cast<size_t>(n), events);
        for (const LineEvent& e : events) {
            if (e.kind == LineEvent::Malformed) {
                Print(log ? stdout : stderr, "%s malformed %s\n", Timestamp().c_str(), Hex(e.bytes).c_str());
                continue;
            }
            ++frames;
            if (log) {
                Print(stdout, "%s %s reading %s\n", Timestamp().c_str(), Hex(e.bytes).c_str(), e.reading.c_str());
            } else {
                if (redraw && drawn)
                    BackOverLines(3); // over the last drawing
                Print(stdout, "%s", DrawSevenSegment(e.reading).c_str());
                drawn = true;
            }
        }
    }
    return kDisplayDone;
}

int Run(int argc, char** argv) {
    SetToolName("meruvia-display");
    const ToolTexts& t = TextsFor(LanguageOfCommandLine(argc, argv));
    const OptionTable options = DisplayOptions();
    CommandLine command;
    if (!ParseCommandLine(options, argc, argv, t, command)) {
        Complain("%s", t.seeHelp);
        return kDisplayUsage;
    }
    UseUtf8Output(command.Has(kOptUtf8));
    if (AnswerHelpOrVersion(command, options, "meruvia-display", t.displaySynopsis, t.displayExitStatus, t))
        return kDisplayDone;
    DisplayLineOptions lineOptions;
    ApplyLineOptions(command, lineOptions.line);
    if (const OptionValue* device = command.Last(kOptDevice))
        lineOptions.line.port = device->text;
    lineOptions.pty = command.Has(kOptPty);
    if (const OptionValue* link = command.Last(kOptLink))
        lineOptions.link = link->text;
    // Started from the Start menu or by a double-click: ask for the port.
    if (lineOptions.line.port.empty() && !lineOptions.pty && OwnsItsConsole()) {
        AskForThePort(t);
        std::string typed;
        if (ReadInputLine(typed) && !typed.empty())
            lineOptions.line.port = PortName(typed.c_str());
    }
    const char* complaint = lineOptions.pty == !lineOptions.line.port.empty() ? t.displayNeedsLine
                            : !lineOptions.link.empty() && !lineOptions.pty  ? t.linkWithoutPty
                                                                             : nullptr;
    if (complaint != nullptr) {
        Complain("%s", complaint);
        Complain("%s", t.seeHelp);
        return kDisplayUsage;
    }
#ifndef _WIN32
    signal(SIGINT, OnSignal);
    signal(SIGTERM, OnSignal);
#endif
    DisplayLine line;
    if (!line.Open(lineOptions, t))
        return kDisplayLineFailed;
    const OptionValue* frames = command.Last(kOptFrames);
    const OptionValue* timeout = command.Last(kOptTimeout);
    return Show(line, command.Has(kOptLog), frames != nullptr ? frames->number : 0,
                timeout != nullptr ? timeout->number : 0);
}

} // namespace

#ifdef _WIN32
int main() {
    std::vector<std::string> arguments = ArgumentsUtf8();
    std::vector<char*> argv = ArgumentPointers(arguments);
    // In a window of its own, what went wrong stays readable until a key is pressed.
    const bool ownWindow = OwnsItsConsole();
    const int status = Run(static_cast<int>(arguments.size()), argv.data());
    if (ownWindow && status != kDisplayDone) {
        Print(stdout, "\n%s\n", TextsFor(SystemLanguage()).pressAKey);
        WaitForKey();
    }
    return status;
}
#else
int main(int argc, char** argv) { return Run(argc, argv); }
#endif
