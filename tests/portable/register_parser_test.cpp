#include "addressing/register_parser.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>

#include "addressing/error_codes.h"
#include "record_fixture.h"

namespace {

constexpr int32_t kNoError = 77; // a value no rejection writes

// Which TagAddress fields a call is expected to have written.
enum Written : unsigned {
    kNone = 0,
    kAddressOnly = 1,         // nAddress (to 0) only
    kRegisterFields = 2,      // pRegister, nRegister, nAddress
    kAll = 3,                 // the register fields and nDataType
};

struct ParseCase {
    const char* name;
    std::string text;
    uint16_t dataType;
    uint16_t result;
    int32_t errorCode; // kNoError where the code must stay as it was
    Written written;
    int16_t address;
};

TagDef MakeTag(const std::string& text, uint16_t dataType) {
    TagDef tag;
    memset(&tag, 0x5A, sizeof tag);
    memset(tag.szRegister, 0, sizeof tag.szRegister);
    memcpy(tag.szRegister, text.data(), std::min(text.size(), sizeof tag.szRegister));
    tag.nDataType = dataType;
    return tag;
}

void CheckParse(const ParseCase& c, const RegisterEntry* rows, int32_t count, int32_t row) {
    SCOPED_TRACE(c.name);
    const TagDef tag = MakeTag(c.text, c.dataType);
    const TagDef before = tag;
    PatternFilled<TagAddress> address;
    int32_t error = kNoError;

    EXPECT_EQ(c.result, ParseRegisterText(tag, *address, rows, count, error));
    EXPECT_EQ(c.errorCode, error);
    EXPECT_EQ(0, memcmp(&before, &tag, sizeof tag)) << "the host's TagDef changed";

    switch (c.written) {
    case kNone:
        EXPECT_TRUE(address.OnlyWritten({}));
        break;
    case kAddressOnly:
        EXPECT_TRUE(address.OnlyWritten({FIELD_OF(TagAddress, nAddress)}));
        EXPECT_EQ(0, address->nAddress);
        break;
    case kRegisterFields:
    case kAll:
        if (c.written == kAll) {
            EXPECT_TRUE(address.OnlyWritten({FIELD_OF(TagAddress, pRegister),
                                             FIELD_OF(TagAddress, nRegister),
                                             FIELD_OF(TagAddress, nAddress),
                                             FIELD_OF(TagAddress, nDataType)}));
            EXPECT_EQ(c.dataType, address->nDataType);
        } else {
            EXPECT_TRUE(address.OnlyWritten({FIELD_OF(TagAddress, pRegister),
                                             FIELD_OF(TagAddress, nRegister),
                                             FIELD_OF(TagAddress, nAddress)}));
        }
        EXPECT_EQ(&rows[row], address->pRegister);
        EXPECT_EQ(row, address->nRegister);
        EXPECT_EQ(c.address, address->nAddress);
        break;
    }
}

std::string Blanks(size_t n) { return std::string(n, ' '); }

TEST(ParseRegisterText, DriverTable) {
    const ParseCase cases[] = {
        {"N", "N", 0x0080, 0, kNoError, kAll, 0},
        {"blanks around", "  N  ", 0x0080, 0, kNoError, kAll, 0},
        {"32 leading blanks", Blanks(32) + "N", 0x0080, 0, kNoError, kAll, 0},
        {"33 leading blanks", Blanks(33) + "N", 0x0080, 1, kErrRegisterName, kNone, 0},
        {"lower case", " n ", 0x0080, 1, kErrRegisterName, kNone, 0},
        {"N1", "N1", 0x0080, 1, kErrRegisterName, kAddressOnly, 0},
        {"NN", "NN", 0x0080, 1, kErrRegisterName, kAddressOnly, 0},
        {"N then tab", "N\t", 0x0080, 1, kErrRegisterName, kAddressOnly, 0},
        {"X", "X", 0x0080, 1, kErrRegisterName, kNone, 0},
        {"empty", "", 0x0080, 1, kErrRegisterName, kNone, 0},
        {"only blanks", Blanks(5), 0x0080, 1, kErrRegisterName, kNone, 0},
        {"40 blanks", Blanks(40), 0x0080, 1, kErrRegisterName, kNone, 0},
        {"wrong data type", "N", 0x0001, 1, kErrDataType, kRegisterFields, 0},
        {"any common bit", "N", 0x0081, 0, kNoError, kAll, 0},
        {"high byte", "N\x80", 0x0080, 1, kErrRegisterName, kAddressOnly, 0},
    };
    for (const ParseCase& c : cases)
        CheckParse(c, kRegisterTable, kRegisterCount, 0);
}

// A table other than the driver's: an indexed register R1..R100 after a single one.
const RegisterEntry kIndexedTable[] = {
    {"N", 0, 0, 0x0080, {}},
    {"R", 1, 100, 0x0004, {}},
    {"BAD", 5, 4, 0xFFFF, {}},
    {"W", -300, 300, 0x0004, {}},
    {"BIG", INT32_MIN, INT32_MAX, 0x0004, {}},
};
constexpr int32_t kIndexedCount = 5;

TEST(ParseRegisterText, IndexedRegister) {
    const ParseCase cases[] = {
        {"R5", "R5", 0x0004, 0, kNoError, kAll, 5},
        {"R005", "R005", 0x0004, 0, kNoError, kAll, 5},
        {"R100", "R100", 0x0004, 0, kNoError, kAll, 100},
        {"trailing blank", "R5 ", 0x0004, 0, kNoError, kAll, 5},
        {"name alone", "R", 0x0004, 1, kErrRegisterIndex, kAddressOnly, 0},
        {"below range", "R0", 0x0004, 1, kErrRegisterIndex, kAddressOnly, 0},
        {"above range", "R101", 0x0004, 1, kErrRegisterIndex, kAddressOnly, 0},
        {"letter after", "R5x", 0x0004, 1, kErrRegisterIndex, kAddressOnly, 0},
        {"blank inside", "R 5", 0x0004, 1, kErrRegisterIndex, kAddressOnly, 0},
        {"minus sign", "R-5", 0x0004, 1, kErrRegisterIndex, kAddressOnly, 0},
        {"wrong type", "R7", 0x0080, 1, kErrDataType, kRegisterFields, 7},
        {"beyond 32 bits", "R4294967301", 0x0004, 1, kErrRegisterIndex, kAddressOnly, 0},
        {"120 digits", "R" + std::string(120, '9'), 0x0004, 1, kErrRegisterIndex, kAddressOnly, 0},
    };
    for (const ParseCase& c : cases)
        CheckParse(c, kIndexedTable, kIndexedCount, 1);
}

TEST(ParseRegisterText, RowChoice) {
    struct RowCase {
        ParseCase parse;
        int32_t rowCount; // rows the parser may see
        int32_t row;      // the row the text must land on
    };
    const RowCase cases[] = {
        // The first row whose name begins the text is taken, even when a later row fits better.
        {{"unusable row", "BAD", 0x0004, 1, kErrRegisterName, kAddressOnly, 0}, kIndexedCount, 2},
        {{"negative index", "W", 0x0004, 1, kErrRegisterIndex, kAddressOnly, 0}, kIndexedCount, 3},
        // Index texts carry no sign, so W-5 is refused even though -5 is in range.
        {{"signed range", "W-5", 0x0004, 1, kErrRegisterIndex, kAddressOnly, 0}, kIndexedCount, 3},
        {{"W300", "W300", 0x0004, 0, kNoError, kAll, 300}, kIndexedCount, 3},
        // 2^32 + 5 would read as 5 if the index wrapped; the whole value is out of range.
        {{"wrap", "BIG4294967301", 0x0004, 1, kErrRegisterIndex, kAddressOnly, 0}, kIndexedCount, 4},
        {{"INT32_MAX", "BIG2147483647", 0x0004, 0, kNoError, kAll, -1}, kIndexedCount, 4},
        // With only the first row visible the same texts find nothing.
        {{"row count 1", "R5", 0x0004, 1, kErrRegisterName, kNone, 0}, 1, 0},
    };
    for (const RowCase& c : cases)
        CheckParse(c.parse, kIndexedTable, c.rowCount, c.row);
}

TEST(ParseRegisterText, FullFieldWithoutTerminatorIsCutAt127) {
    // The TagDef ends the allocation, so reading past its text field would be caught by the
    // address sanitizer if the field were over-read.
    auto storage = std::make_unique<TagDef>();
    TagDef& tag = *storage;
    memset(tag.szRegister, ' ', sizeof tag.szRegister);
    tag.szRegister[0] = 'N';
    tag.szRegister[127] = 'X'; // the 128th character is beyond the 127 that are read
    tag.nDataType = 0x0080;
    TagAddress address{};
    int32_t error = kNoError;
    EXPECT_EQ(0, ParseRegisterText(tag, address, kRegisterTable, kRegisterCount, error));
    EXPECT_EQ(kNoError, error);

    tag.szRegister[126] = 'X'; // within the 127: now the text is "N ... X"
    EXPECT_EQ(1, ParseRegisterText(tag, address, kRegisterTable, kRegisterCount, error));
    EXPECT_EQ(kErrRegisterName, error);
}

TEST(ParseRegisterText, LastRejectionSurvivesAcceptance) {
    int32_t error = kNoError;
    TagAddress address{};
    EXPECT_EQ(1, ParseRegisterText(MakeTag("N", 0x0001), address, kRegisterTable, kRegisterCount, error));
    EXPECT_EQ(kErrDataType, error);
    EXPECT_EQ(0, ParseRegisterText(MakeTag("N", 0x0080), address, kRegisterTable, kRegisterCount, error));
    EXPECT_EQ(kErrDataType, error);
}

TEST(RegisterTable, OneSingleRegisterN) {
    ASSERT_EQ(1, kRegisterCount);
    const RegisterEntry& row = kRegisterTable[0];
    EXPECT_STREQ("N", row.szName);
    for (size_t i = 2; i < sizeof row.szName; ++i)
        EXPECT_EQ(0, row.szName[i]);
    EXPECT_EQ(0, row.nMin);
    EXPECT_EQ(0, row.nMax);
    EXPECT_EQ(0x0080, row.nTypeMask);
    for (uint8_t b : row.reserved)
        EXPECT_EQ(0, b);
}

} // namespace
