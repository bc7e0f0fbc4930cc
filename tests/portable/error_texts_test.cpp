// The texts are checked against an independent conversion of the Chinese wording into code
// page 936: the C library's iconv natively, the Windows code-page tables under Wine.
#include "addressing/error_codes.h"

#include <gtest/gtest.h>

#include <string>

#include "code_page_936.h"

namespace {

TEST(ErrorTexts, MatchTheChineseWordingInCodePage936) {
    struct {
        int32_t code;
        const char* utf8;
        size_t bytes;
    } const cases[] = {
        {kErrRegisterName, u8"寄存器名字错误!", 15},
        {kErrRegisterIndex, u8"寄存器后应加合适的数字，请参考Readme文件!", 41},
        {kErrAddressRange, u8"地址范围越界!", 13},
        {kErrDataType, u8"数据类型不对，请参考Readme文件!", 31},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.code);
        const std::string expected = ToCodePage936(c.utf8);
        ASSERT_EQ(c.bytes, expected.size());
        ASSERT_NE(nullptr, ErrorTextFor(c.code));
        EXPECT_EQ(expected, std::string(ErrorTextFor(c.code)));
    }
}

TEST(ErrorTexts, NothingOutsideTheTable) {
    for (int32_t code : {-1, 4, 5, 1000, INT32_MIN, INT32_MAX})
        EXPECT_EQ(nullptr, ErrorTextFor(code)) << code;
}

} // namespace
