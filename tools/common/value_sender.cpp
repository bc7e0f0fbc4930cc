#include "value_sender.h"

#include <cstdio>
#include <strings.h>

#include "display/display_frame.h"
#include "exit_codes.h"
#include "line_options.h"
#include "tool_console.h"

int ValueSender::Note(int status) {
    if (status == kWriteFailed || (status != kOk && worst_ == kOk))
        worst_ = status;
    return worst_;
}

int ValueSender::Send(const std::string& text) {
    float value = 0;
    if (!ParseValue(text, value)) {
        Complain(t_.notANumber, text.c_str());
        return Note(kUsage);
    }
    const DisplayFrame frame = EncodeDisplayFrame(FloatBits(value));
    if (!HasDigits(value))
        Complain(t_.noDigits, text.c_str());
    else if (!IsShownWhole(value))
        Complain(t_.outsideDisplay, text.c_str(), Reading(frame).c_str());
    if (!write_(value)) {
        Complain(t_.notWhole, text.c_str());
        return Note(kWriteFailed);
    }
    Print(stdout, t_.sent, text.c_str(), FrameText(frame).c_str(), Reading(frame).c_str());
    Print(stdout, "\n");
    return Note(kOk);
}

int ValueSender::SendAll(const std::vector<std::string>& values) {
    for (const std::string& v : values)
        Send(v);
    return worst_;
}

int ValueSender::Interactive() {
    const bool typed = InputIsInteractive();
    if (typed)
        Print(stdout, "%s\n", t_.interactiveHint);
    std::string line;
    for (;;) {
        if (typed)
            Print(stdout, "> ");
        if (!ReadInputLine(line))
            break;
        const size_t first = line.find_first_not_of(" \t");
        if (first == std::string::npos)
            continue;
        const std::string word = line.substr(first, line.find_last_not_of(" \t") + 1 - first);
        if (strcasecmp(word.c_str(), "q") == 0 || strcasecmp(word.c_str(), "quit") == 0 ||
            strcasecmp(word.c_str(), "exit") == 0)
            break;
        Send(word);
    }
    return worst_;
}

int ValueSender::LampTest(unsigned long intervalMs) {
    for (int k = 0; k < kLampTestFrames; ++k) {
        if (k > 0)
            PauseMs(intervalMs);
        const std::string reading = Reading(EncodeDisplayFrame(FloatBits(kLampTestValues[k])));
        if (!write_(kLampTestValues[k])) {
            Complain(t_.notWhole, reading.c_str());
            return Note(kWriteFailed);
        }
        Print(stdout, t_.lampStep, k + 1, kLampTestFrames, reading.c_str());
        Print(stdout, "\n");
    }
    return worst_;
}
