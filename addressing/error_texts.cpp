// The user-visible texts are Chinese and the host shows them as code page 936 bytes,
// so they are stored as those bytes, independent of the compiler's source charset.
#include "addressing/error_codes.h"

namespace {

// "寄存器名字错误!"
const char kRegisterNameText[] = "\xbc\xc4\xb4\xe6\xc6\xf7\xc3\xfb\xd7\xd6\xb4\xed\xce\xf3!";
// "寄存器后应加合适的数字，请参考Readme文件!"
const char kRegisterIndexText[] = "\xbc\xc4\xb4\xe6\xc6\xf7\xba\xf3\xd3\xa6\xbc\xd3\xba\xcf\xca\xca"
                                  "\xb5\xc4\xca\xfd\xd7\xd6\xa3\xac\xc7\xeb\xb2\xce\xbf\xbc"
                                  "Readme\xce\xc4\xbc\xfe!";
// "地址范围越界!"
const char kAddressRangeText[] = "\xb5\xd8\xd6\xb7\xb7\xb6\xce\xa7\xd4\xbd\xbd\xe7!";
// "数据类型不对，请参考Readme文件!"
const char kDataTypeText[] = "\xca\xfd\xbe\xdd\xc0\xe0\xd0\xcd\xb2\xbb\xb6\xd4\xa3\xac"
                             "\xc7\xeb\xb2\xce\xbf\xbcReadme\xce\xc4\xbc\xfe!";

// Indexed by DriverErrorCode.
const char* const kErrorTexts[] = {kRegisterNameText, kRegisterIndexText, kAddressRangeText,
                                   kDataTypeText};

// Indexed by DriverErrorCode: what each text says.
const char* const kErrorMeanings[] = {"register name wrong",
                                      "the register needs a suitable number after it, see the Readme",
                                      "device address out of range",
                                      "wrong data type for this register, see the Readme"};

static_assert(sizeof kErrorTexts / sizeof kErrorTexts[0] == sizeof kErrorMeanings / sizeof kErrorMeanings[0],
              "a meaning for every text");

} // namespace

const char* ErrorTextFor(int32_t code) {
    if (code < 0 || code >= static_cast<int32_t>(sizeof kErrorTexts / sizeof kErrorTexts[0]))
        return nullptr;
    return kErrorTexts[code];
}

const char* ErrorMeaningFor(int32_t code) {
    if (code < 0 || code >= static_cast<int32_t>(sizeof kErrorMeanings / sizeof kErrorMeanings[0]))
        return nullptr;
    return kErrorMeanings[code];
}
