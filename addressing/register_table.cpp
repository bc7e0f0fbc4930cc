#include "addressing/register_table.h"

const RegisterEntry kRegisterTable[] = {
    {"N", 0, 0, 0x0080, {}},
};

const int32_t kRegisterCount = static_cast<int32_t>(sizeof kRegisterTable / sizeof kRegisterTable[0]);
