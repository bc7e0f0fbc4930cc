#include "addressing/device_address.h"

namespace {
constexpr int32_t kMaxDeviceAddress = 255;
}

bool ReadDeviceAddress(const char* text, int32_t& address) {
    int32_t value = 0;
    bool tooLarge = false;
    for (const char* p = text; *p != '\0'; ++p) {
        if (*p < '0' || *p > '9')
            return false;
        // Once past the limit the value can only grow, so stop accumulating.
        if (!tooLarge) {
            value = value * 10 + (*p - '0');
            tooLarge = value > kMaxDeviceAddress;
        }
    }
    if (tooLarge)
        return false;
    address = value;
    return true;
}
