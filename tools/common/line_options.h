// What the two send tools have in common: the serial line options, the values they take,
// the readings they report and the lamp test sequence. Portable; no Windows needed.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "display/display_frame.h"
#include "option_table.h"
#include "serial/serial_link.h"

// The serial line, as the host's port settings give it.
struct LineOptions {
    std::string port;
    unsigned long baud = 9600;
    int dataBits = 8;
    int parity = 0; // 0 none, 1 odd, 2 even, 3 mark, 4 space
    int stopBits = 1;
};

// The line options every send tool and the display simulator take: --port (with the help
// text given, or none when the tool names its port otherwise), --baud, --data-bits,
// --parity, --stop-bits.
enum LineOptionId { kOptPort = 50, kOptBaud, kOptDataBits, kOptParity, kOptStopBits };
std::vector<OptionRow> LineOptionRows(const char* ToolTexts::*portHelp);
// The settings the command line gives, over the defaults already in line.
void ApplyLineOptions(const CommandLine& command, LineOptions& line);

// The names of the parities, by host code.
extern const char* const kParityNames[5];
// The settings in the serial link's terms. The options allow only settings that map: the
// same host codes the driver gets.
LineSettings ToLineSettings(const LineOptions& line);
// Why a port did not open, in the tools' words; nullptr where only the system's words can
// say it (SerialOpenFailure::Other).
const char* PortFailureText(SerialOpenFailure failure, const ToolTexts& t);

// "8N1"-style summary of the settings.
std::string LineSummary(const LineOptions& line);

// Strict decimal number with optional blanks around it (as a user types it).
bool ParseValue(const std::string& text, float& value);

// False for a value that is not a number or infinite: the display shows dashes for it.
bool HasDigits(float value);

// What the display shows: -99.999 to 999.999; outside it, only the last seven characters.
bool IsShownWhole(float value);

// The seven characters as the display shows them: the frame's bytes 7 down to 1.
std::string Reading(const DisplayFrame& frame);
// The frame's eight bytes as text.
std::string FrameText(const DisplayFrame& frame);

// The lamp test: every segment (888.888), then every place showing 0, 1, ... 9, then one
// reading that shows the order of the places (123.456), then dashes (sent as a value that
// is not a number).
extern const float kLampTestValues[13];
constexpr int kLampTestFrames = 13;
