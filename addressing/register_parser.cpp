#include "addressing/register_parser.h"

#include <cstring>

#include "addressing/error_codes.h"

namespace {

constexpr char kBlank = ' ';
constexpr size_t kTextField = sizeof(TagDef{}.szRegister);
// Tags configured with up to 32 blanks before the name are accepted, one more is refused:
// projects in use were written against that limit.
constexpr size_t kMaxLeadingBlanks = 32;

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

char FoldCase(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

bool EqualIgnoringCase(const char* a, size_t aLen, const char* b, size_t bLen) {
    if (aLen != bLen)
        return false;
    for (size_t i = 0; i < aLen; ++i)
        if (FoldCase(a[i]) != FoldCase(b[i]))
            return false;
    return true;
}

// Decimal digits into a signed 32-bit value; false when the value does not fit.
bool ReadIndex(const char* digits, size_t len, int32_t& value) {
    int64_t v = 0;
    for (size_t i = 0; i < len; ++i) {
        v = v * 10 + (digits[i] - '0');
        if (v > INT32_MAX)
            return false;
    }
    value = static_cast<int32_t>(v);
    return true;
}

uint16_t Reject(int32_t& errorCode, DriverErrorCode code) {
    errorCode = code;
    return 1;
}

} // namespace

uint16_t ParseRegisterText(const TagDef& tag, TagAddress& address, const RegisterEntry* rows,
                           int32_t rowCount, int32_t& errorCode) {
    // A private copy: the host's text is never modified, and a text that fills its whole
    // field without a terminator is cut to its first 127 characters.
    char work[kTextField] = {};
    const size_t copied = strnlen(tag.szRegister, kTextField - 1);
    memcpy(work, tag.szRegister, copied);

    const char* text = work;
    for (size_t skipped = 0; skipped < kMaxLeadingBlanks && *text == kBlank; ++skipped)
        ++text;
    size_t len = copied - static_cast<size_t>(text - work);
    if (len == 0)
        return Reject(errorCode, kErrRegisterName);
    while (len > 0 && text[len - 1] == kBlank)
        --len;

    // First row whose name begins the text, letter case included.
    int32_t index = -1;
    size_t nameLen = 0;
    for (int32_t i = 0; i < rowCount; ++i) {
        const size_t n = strnlen(rows[i].szName, sizeof rows[i].szName);
        if (n <= len && memcmp(rows[i].szName, text, n) == 0) {
            index = i;
            nameLen = n;
            break;
        }
    }
    if (index < 0)
        return Reject(errorCode, kErrRegisterName);
    const RegisterEntry& row = rows[index];

    address.nAddress = 0;
    if (row.nMin < row.nMax) {
        const char* indexText = text + nameLen;
        const size_t indexLen = len - nameLen;
        if (indexLen == 0)
            return Reject(errorCode, kErrRegisterIndex);
        for (size_t i = 0; i < indexLen; ++i)
            if (!IsDigit(indexText[i]))
                return Reject(errorCode, kErrRegisterIndex);
        int32_t value = 0;
        if (!ReadIndex(indexText, indexLen, value) || value < row.nMin || value > row.nMax)
            return Reject(errorCode, kErrRegisterIndex);
        address.nRegister = static_cast<uint16_t>(index);
        address.nAddress = static_cast<int16_t>(value);
        address.pRegister = &row;
    } else if (row.nMin == row.nMax) {
        if (!EqualIgnoringCase(text, len, row.szName, nameLen))
            return Reject(errorCode, kErrRegisterName);
        address.nRegister = static_cast<uint16_t>(index);
        address.nAddress = 0;
        address.pRegister = &row;
    } else {
        return Reject(errorCode, kErrRegisterName);
    }

    if ((tag.nDataType & row.nTypeMask) == 0)
        return Reject(errorCode, kErrDataType);
    address.nDataType = tag.nDataType;
    return 0;
}
