// What the two send tools have in common: the serial line options, the values they take,
// the readings they report and the lamp test sequence. Portable; no Windows needed.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "display/display_frame.h"
#include "serial/serial_link.h"

// The serial line, as the host's port settings give it.
struct LineOptions {
    std::string port;
    unsigned long baud = 9600;
    int dataBits = 8;
    int parity = 0; // 0 none, 1 odd, 2 even, 3 mark, 4 space
    int stopBits = 1;
};

enum class OptionResult {
    NotMine,   // not a line option
    Taken,     // a line option and its value, taken
    NoValue,   // a line option without its value
    BadValue,  // a line option whose value is not allowed
};

// Looks at argv[i] (and its value, argv[i + 1], moving i past it when taken).
OptionResult TakeLineOption(int argc, char** argv, int& i, LineOptions& line);

// The names of the parities, by host code.
extern const char* const kParityNames[5];
// The settings in the serial link's terms. The options allow only settings that map: the
// same host codes the driver gets.
LineSettings ToLineSettings(const LineOptions& line);
// "8N1"-style summary of the settings.
std::string LineSummary(const LineOptions& line);

// Sends each value: those given, or else each non-empty line of standard input. The result
// is the worst status: kWriteFailed (a frame that did not go out) before any other failure,
// otherwise the first one; kOk when all went well.
int SendEach(const std::vector<std::string>& values, const std::function<int(const std::string&)>& send);

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
