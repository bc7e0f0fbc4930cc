// meruvia-send: tries a MERUVIA display from Linux (a laptop with a USB serial adapter):
// sends values, or the lamp test, through the same serial link and frame encoder as the
// driver, with the same line options and words as meruvia-host.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#include "display/display_frame.h"
#include "exit_codes.h"
#include "line_options.h"
#include "option_table.h"
#include "serial/serial_link.h"
#include "tool_console.h"
#include "tool_texts.h"
#include "value_sender.h"

namespace {

enum SendOptionId { kOptLampTest = kFirstToolOption, kOptInterval, kOptInteractive };

OptionTable SendOptions() {
    OptionTable table = LineOptionRows(&ToolTexts::helpSendPort);
    const OptionTable own = {
        {kOptLampTest, "--lamp-test", nullptr, ValueKind::None, 0, 0, nullptr, &ToolTexts::helpLampTest},
        {kOptInterval, "--interval", nullptr, ValueKind::Whole, 0, 3600000, &ToolTexts::valueMs,
         &ToolTexts::helpInterval},
        {kOptInteractive, "--interactive", nullptr, ValueKind::None, 0, 0, nullptr, &ToolTexts::helpInteractive},
        kLangOption,
        kVersionOption,
        kHelpOption,
    };
    table.insert(table.end(), own.begin(), own.end());
    return table;
}

std::string WhyNotOpened(const SerialOpenResult& opened, const ToolTexts& t) {
    const char* words = PortFailureText(opened.failure, t);
    return words != nullptr ? words : strerror(static_cast<int>(opened.systemError));
}

} // namespace

int main(int argc, char** argv) {
    SetToolName("meruvia-send");
    const ToolTexts& t = TextsFor(LanguageOfCommandLine(argc, argv));
    const OptionTable options = SendOptions();
    CommandLine command;
    if (!ParseCommandLine(options, argc, argv, t, command)) {
        Complain("%s", t.seeHelp);
        return kUsage;
    }
    if (AnswerHelpOrVersion(command, options, "meruvia-send", t.sendSynopsis, t.sendExitStatus, t))
        return kOk;
    LineOptions line;
    ApplyLineOptions(command, line);
    const bool lampTest = command.Has(kOptLampTest), interactive = command.Has(kOptInteractive);
    const char* complaint = line.port.empty() ? t.sendNeedsPort
                            : !lampTest && !interactive && command.operands.empty() ? t.nothingToDo
                                                                                    : nullptr;
    if (complaint != nullptr) {
        Complain("%s", complaint);
        Complain("%s", t.seeHelp);
        return kUsage;
    }

    const SerialOpenResult opened = OpenSerialPort(line.port.c_str(), ToLineSettings(line));
    if (!opened.opened()) {
        Complain(t.cannotOpenBecause, line.port.c_str(), LineSummary(line).c_str(), WhyNotOpened(opened, t).c_str());
        return kNoPort;
    }
    Print(stdout, t.opened, line.port.c_str(), LineSummary(line).c_str());
    Print(stdout, "\n");
    const SerialHandle port = opened.port;
    ValueSender sender(t, [port](float value) {
        const DisplayFrame frame = EncodeDisplayFrame(FloatBits(value));
        return WriteSerialPort(port, frame.bytes, kDisplayFrameSize) == static_cast<int32_t>(kDisplayFrameSize);
    });
    int status = kOk;
    if (lampTest) {
        const OptionValue* interval = command.Last(kOptInterval);
        status = sender.LampTest(interval != nullptr ? interval->number : 1000);
    } else {
        status = sender.SendAll(command.operands);
        if (interactive)
            status = sender.Interactive();
    }
    CloseSerialPort(port);
    return status;
}
