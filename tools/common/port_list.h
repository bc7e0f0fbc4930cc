// The serial ports of this PC, for the engineer to choose from (Windows).
#pragma once

#include <string>
#include <vector>

// COM ports the system knows: the device names it lists, and each COMn tried in turn, since
// the list (like the registry's list of serial devices) may miss ports that were added
// later, such as a USB adapter or a mapped device. A port another program holds has
// inUseMark after its name.
std::vector<std::string> SerialPortsOnThisPc(const char* inUseMark);
