// Last-error codes kept by the driver object, and their texts (code page 936).
#pragma once

#include <cstdint>

enum DriverErrorCode : int32_t {
    kErrRegisterName = 0,   // the register name is wrong
    kErrRegisterIndex = 1,  // an indexed register needs a suitable number after it
    kErrAddressRange = 2,   // device address out of range
    kErrDataType = 3,       // the tag's data type is not one the register takes
};

// The text for a code, or nullptr for anything outside 0..3 (-1 marks "no error").
const char* ErrorTextFor(int32_t code);

// What the code means, in English words for traces and for engineers who read no Chinese
// ("register name wrong"); nullptr outside 0..3.
const char* ErrorMeaningFor(int32_t code);
