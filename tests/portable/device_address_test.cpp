#include "addressing/device_address.h"

#include <gtest/gtest.h>

#include <string>

namespace {

constexpr int32_t kUntouched = -12345;

struct DeviceCase {
    std::string text;
    bool valid;
    int32_t address;
};

TEST(ReadDeviceAddress, Table) {
    const DeviceCase cases[] = {
        {"0", true, 0},
        {"255", true, 255},
        {"007", true, 7},
        {std::string(20, '0') + "255", true, 255},
        {std::string(1000, '0') + "1", true, 1},
        {"", true, 0},
        {"256", false, kUntouched},
        {"65536", false, kUntouched},
        {"99999999999", false, kUntouched},
        {std::string(1000, '9'), false, kUntouched},
        // 2^32 + 7 would read as 7 if the value wrapped.
        {"4294967303", false, kUntouched},
        {" 12", false, kUntouched},
        {"12 ", false, kUntouched},
        {"+5", false, kUntouched},
        {"-5", false, kUntouched},
        {"1a", false, kUntouched},
        {"1\xB2", false, kUntouched},
        {"999x", false, kUntouched},
    };
    for (const DeviceCase& c : cases) {
        SCOPED_TRACE("text \"" + c.text.substr(0, 30) + "\"");
        int32_t address = kUntouched;
        EXPECT_EQ(c.valid, ReadDeviceAddress(c.text.c_str(), address));
        EXPECT_EQ(c.address, address);
    }
}

} // namespace
