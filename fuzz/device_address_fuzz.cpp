// Device addresses: the answer must match a plain reading of the digits.
#include <cstdlib>
#include <string>

#include "addressing/device_address.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    const std::string cText = text.substr(0, text.find('\0'));

    bool digitsOnly = true;
    for (char c : cText)
        digitsOnly &= c >= '0' && c <= '9';
    const size_t first = cText.find_first_not_of('0');
    const std::string significant = first == std::string::npos ? "" : cText.substr(first);
    const bool expectValid = digitsOnly && (significant.size() < 3 || (significant.size() == 3 && significant <= "255"));

    int32_t address = -1;
    const bool valid = ReadDeviceAddress(cText.c_str(), address);
    if (valid != expectValid)
        abort();
    if (valid && address != (significant.empty() ? 0 : std::stoi(significant)))
        abort();
    if (!valid && address != -1)
        abort();
    return 0;
}
