#include "display_line.h"

#include "tool_console.h"
#include "windows_text.h"

namespace {

std::string WhyNotOpened(const SerialOpenResult& opened, const ToolTexts& t) {
    const char* words = PortFailureText(opened.failure, t);
    return words != nullptr ? words : SystemMessage(opened.systemError, t);
}

} // namespace

DisplayLine::~DisplayLine() {
    if (port_ != kNoSerialHandle)
        CloseSerialPort(port_);
}

bool DisplayLine::Open(const DisplayLineOptions& options, const ToolTexts& t) {
    t_ = &t;
    name_ = options.line.port;
    const SerialOpenResult opened = OpenSerialPort(name_.c_str(), ToLineSettings(options.line));
    if (!opened.opened()) {
        Complain(t.cannotOpenBecause, name_.c_str(), LineSummary(options.line).c_str(), WhyNotOpened(opened, t).c_str());
        return false;
    }
    port_ = opened.port;
    Print(stdout, t.listeningAt, name_.c_str(), LineSummary(options.line).c_str());
    Print(stdout, "\n");
    return true;
}

int32_t DisplayLine::Read(uint8_t* buffer, int32_t capacity, uint32_t timeoutMs) {
    const int32_t n = ReadSerialPort(port_, buffer, capacity, timeoutMs);
    if (n < 0)
        Complain(t_->cannotRead, name_.c_str(), SystemMessage(GetLastError(), *t_).c_str());
    return n;
}
