// One driver object used as the host uses it: created by ProgID, a tag checked, a port
// opened from the line options, values sent one frame each.
#pragma once

#include <string>

#include "exit_codes.h"
#include "host/host_interfaces.h"
#include "line_options.h"
#include "tool_texts.h"
#include "value_sender.h"

class DriverSession {
public:
    explicit DriverSession(const ToolTexts& t) : t_(t) {}
    ~DriverSession();
    DriverSession(const DriverSession&) = delete;
    DriverSession& operator=(const DriverSession&) = delete;

    // The component runtime for this thread; kNoDriver when it cannot start.
    int StartRuntime();
    // Creates the driver by ProgID. With quiet, says nothing and leaves the reason in
    // failure (for --doctor).
    int Create(bool quiet = false, std::string* failure = nullptr);
    int CheckTag(const std::string& device, const std::string& registerText, unsigned long dataType);
    // With quiet, says nothing on failure.
    int Open(const LineOptions& line, bool quiet = false);
    // Sends values through the open port, one block each, as the host does.
    ValueSender Sender();

private:
    std::string DriverText(const char* text) const;


    const ToolTexts& t_;
    bool runtime_ = false;
    IDriverConfig* config_ = nullptr;
    IDriverIo* io_ = nullptr;
    bool portOpen_ = false;
};

// Fills a port record from the line options; false when the name does not fit.
bool FillPortConfig(const LineOptions& line, PortConfig& pc);
