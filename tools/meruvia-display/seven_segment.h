// A reading drawn as three-line seven-segment digits, the way the LED display shows it.
#pragma once

#include <string>

// Three lines of text; each character of the reading takes three columns, the point sits
// in the column after its digit as the display's decimal point does.
std::string DrawSevenSegment(const std::string& reading);
