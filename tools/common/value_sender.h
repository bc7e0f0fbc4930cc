// Values to a display, the same in every tool: each text read as a number, warned about
// when the display cannot show it whole, sent as one frame and reported; the lamp test;
// values typed at a prompt. Only how a frame goes out differs between the tools.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "tool_texts.h"

// Sends the frame for one value (through the driver, or straight to the port); true when
// all of it went out.
using FrameWriter = std::function<bool(float value)>;

class ValueSender {
public:
    ValueSender(const ToolTexts& t, FrameWriter write) : t_(t), write_(std::move(write)) {}

    // Each returns the worst status so far: kWriteFailed (a frame that did not go out)
    // before any other failure, otherwise the first one; kOk when all went well.
    int Send(const std::string& text);
    int SendAll(const std::vector<std::string>& values);
    // Values from standard input, one per line, until it ends or "q", "quit" or "exit";
    // typed at a console, with a prompt.
    int Interactive();
    int LampTest(unsigned long intervalMs);

private:
    int Note(int status);

    const ToolTexts& t_;
    FrameWriter write_;
    int worst_ = 0;
};
