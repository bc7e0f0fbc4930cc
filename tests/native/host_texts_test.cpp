// meruvia-host speaks English and Chinese from one table per language. Every language has
// every text, and each text takes the same printf arguments in the same order as the
// English one, or the tool would print garbage (or crash) in one language only.
#include "texts.h"

#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr size_t kFields = sizeof(HostTexts) / sizeof(const char*);
static_assert(sizeof(HostTexts) == kFields * sizeof(const char*), "every field of the table is a text");

std::array<const char*, kFields> Fields(const HostTexts& texts) {
    std::array<const char*, kFields> fields;
    memcpy(fields.data(), &texts, sizeof texts);
    return fields;
}

// The conversions of a printf format, in order, as written ("%s", "%08lX"); "%%" is none.
std::vector<std::string> Conversions(const char* format) {
    std::vector<std::string> found;
    for (const char* p = strchr(format, '%'); p != nullptr; p = strchr(p, '%')) {
        if (p[1] == '%') {
            p += 2;
            continue;
        }
        const size_t length = strcspn(p + 1, "diouxXeEfFgGaAcspn") + 2;
        found.emplace_back(p, length);
        p += length - 1;
    }
    return found;
}

// Well-formed UTF-8: what the console output converts from.
bool IsUtf8(const char* text) {
    for (auto p = reinterpret_cast<const unsigned char*>(text); *p != 0;) {
        const int extra = *p < 0x80 ? 0 : (*p >> 5) == 6 ? 1 : (*p >> 4) == 14 ? 2 : (*p >> 3) == 30 ? 3 : -1;
        if (extra < 0)
            return false;
        ++p;
        for (int k = 0; k < extra; ++k, ++p)
            if ((*p >> 6) != 2)
                return false;
    }
    return true;
}

TEST(HostTexts, ConversionsAreReadInOrder) {
    EXPECT_EQ((std::vector<std::string>{"%s", "%08lX", "%d"}), Conversions("a %s b %08lX c %% d %d"));
    EXPECT_TRUE(Conversions("100%% sure").empty());
}

TEST(HostTexts, EveryLanguageHasEveryTextWithTheSameConversions) {
    const struct {
        const char* name;
        const HostTexts* texts;
    } languages[] = {{"English", &kEnglishTexts}, {"Chinese", &kChineseTexts}};
    const auto english = Fields(kEnglishTexts);
    for (const auto& language : languages) {
        const auto fields = Fields(*language.texts);
        for (size_t i = 0; i < kFields; ++i) {
            SCOPED_TRACE(std::string(language.name) + ", text " + std::to_string(i));
            ASSERT_NE(nullptr, fields[i]);
            EXPECT_NE('\0', fields[i][0]) << "an empty text";
            EXPECT_TRUE(IsUtf8(fields[i])) << fields[i];
            EXPECT_EQ(Conversions(english[i]), Conversions(fields[i])) << fields[i];
        }
    }
}

} // namespace
