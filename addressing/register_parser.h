// Turns a tag's register text into the register fields of its TagAddress, against any
// register table.
#pragma once

#include <cstdint>

#include "addressing/register_table.h"
#include "host/host_records.h"

// Returns 0 when the text is accepted and 1 when it is rejected; a rejection stores its
// DriverErrorCode in errorCode, an acceptance leaves errorCode alone. Only the fields a
// step has reached are written, so a caller can tell how far a rejected text got.
uint16_t ParseRegisterText(const TagDef& tag, TagAddress& address, const RegisterEntry* rows,
                           int32_t rowCount, int32_t& errorCode);
