// --doctor: the checks a field engineer runs when the display stays dark, one line each.
#pragma once

#include "line_options.h"
#include "tool_texts.h"

// With a null port, the port is not tried. Returns 0 when all is well, otherwise the exit
// status of the first problem found.
int RunDoctor(const LineOptions* port, const ToolTexts& t);
