// The line the display simulator reads: a serial port opened with the line's settings, or
// on Linux also a pseudo-terminal it makes (for a Wine prefix's COM port) or standard
// input (a capture of the line).
#pragma once

#include <cstdint>
#include <string>

#include "line_options.h"
#include "serial/serial_link.h"
#include "tool_texts.h"

struct DisplayLineOptions {
    LineOptions line;  // line.port: the device or port to read ("-" is standard input)
    bool pty = false;
    std::string link;  // with pty: a symbolic link made to its other end
};

class DisplayLine {
public:
    DisplayLine() = default;
    ~DisplayLine();
    DisplayLine(const DisplayLine&) = delete;
    DisplayLine& operator=(const DisplayLine&) = delete;

    // Opens the line and says where it listens; says why not and returns false otherwise.
    bool Open(const DisplayLineOptions& options, const ToolTexts& t);
    // The bytes that arrive within timeoutMs, up to capacity: their count, 0 when none
    // came, -1 when the line failed (said why) or has ended.
    int32_t Read(uint8_t* buffer, int32_t capacity, uint32_t timeoutMs);
    // After a Read of -1: whether the line simply ended (a capture read to its end).
    bool Ended() const { return ended_; }

private:
    const ToolTexts* t_ = nullptr;
    std::string name_;
    SerialHandle port_ = kNoSerialHandle;
    bool ended_ = false;
#ifndef _WIN32
    int fd_ = -1;     // standard input or the pseudo-terminal's own end
    int slave_ = -1;  // the other end, kept open so the line stays up between writers
    std::string link_;
#endif
};
