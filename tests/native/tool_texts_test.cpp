// The field tools speak English and Chinese from one table per language. Every language has
// every text, and each text takes the same printf arguments in the same order as the
// English one, or the tool would print garbage (or crash) in one language only.
#include "option_table.h"
#include "tool_texts.h"

#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr size_t kFields = sizeof(ToolTexts) / sizeof(const char*);
static_assert(sizeof(ToolTexts) == kFields * sizeof(const char*), "every field of the table is a text");

std::array<const char*, kFields> Fields(const ToolTexts& texts) {
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

TEST(ToolTexts, ConversionsAreReadInOrder) {
    EXPECT_EQ((std::vector<std::string>{"%s", "%08lX", "%d"}), Conversions("a %s b %08lX c %% d %d"));
    EXPECT_TRUE(Conversions("100%% sure").empty());
}

TEST(ToolTexts, EveryLanguageHasEveryTextWithTheSameConversions) {
    const struct {
        const char* name;
        const ToolTexts* texts;
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

// The option table reads each kind of value strictly: decimal wholes in range, seconds
// with at most three decimals, data-type bits also in 0x form, the language names
// engineers write; a value that starts with a minus is a value, not an option.
TEST(OptionTable, ReadsEachKindOfValueStrictly) {
    const OptionTable table = {
        {100, "--count", nullptr, ValueKind::Whole, 1, 1000, &ToolTexts::valueNumber, &ToolTexts::helpFrames},
        {101, "--bits", nullptr, ValueKind::Bits, 0, 0xFFFF, &ToolTexts::valueBits, &ToolTexts::helpDataType},
        {102, "--wait", nullptr, ValueKind::Seconds, 0, 0, &ToolTexts::valueSeconds, &ToolTexts::helpTimeout},
        {103, "--flag", "-f", ValueKind::None, 0, 0, nullptr, &ToolTexts::helpLog},
        kLangOption,
    };
    const struct {
        std::vector<const char*> args;
        bool accepted;
        unsigned long number; // of the last option given
    } cases[] = {
        {{"--count", "10"}, true, 10},
        {{"--count", "010"}, true, 10}, // decimal, not octal
        {{"--count", "0x10"}, false, 0},
        {{"--count", "+5"}, false, 0},
        {{"--count", " 5"}, false, 0},
        {{"--count", "2.5"}, false, 0},
        {{"--count", "0"}, false, 0},
        {{"--count", "1001"}, false, 0},
        {{"--count", "99999999999999999999"}, false, 0},
        {{"--count"}, false, 0},
        {{"--bits", "0x0080"}, true, 0x80},
        {{"--bits", "128"}, true, 128},
        {{"--bits", "0x10000"}, false, 0},
        {{"--bits", "0x"}, false, 0},
        {{"--wait", "2"}, true, 2000},
        {{"--wait", "0.5"}, true, 500},
        {{"--wait", ".25"}, true, 250},
        {{"--wait", "86400"}, true, 86400000},
        {{"--wait", "86401"}, false, 0},
        {{"--wait", "0.0001"}, false, 0},
        {{"--wait", "0"}, false, 0},
        {{"--wait", "1."}, false, 0},
        {{"--wait", "-1"}, false, 0},
        {{"--lang", "zh-CN"}, true, static_cast<unsigned long>(Language::Chinese)},
        {{"--lang", "CN"}, true, static_cast<unsigned long>(Language::Chinese)},
        {{"--lang", "en-US"}, true, static_cast<unsigned long>(Language::English)},
        {{"--lang", "fr"}, false, 0},
        {{"-f"}, true, 0},
        {{"--unknown"}, false, 0},
        {{"-x"}, false, 0},
    };
    for (const auto& c : cases) {
        std::vector<char*> argv = {const_cast<char*>("tool")};
        for (const char* a : c.args)
            argv.push_back(const_cast<char*>(a));
        SCOPED_TRACE(std::string(c.args[0]) + (c.args.size() > 1 ? std::string(" ") + c.args[1] : ""));
        CommandLine command;
        const bool accepted =
            ParseCommandLine(table, static_cast<int>(argv.size()), argv.data(), kEnglishTexts, command);
        ASSERT_EQ(c.accepted, accepted);
        if (accepted) {
            ASSERT_EQ(1u, command.options.size());
            EXPECT_EQ(c.number, command.options.back().number);
        }
    }
    std::vector<char*> values = {const_cast<char*>("tool"), const_cast<char*>("-12.5"), const_cast<char*>("-f"),
                                 const_cast<char*>("7")};
    CommandLine command;
    ASSERT_TRUE(ParseCommandLine(table, 4, values.data(), kEnglishTexts, command));
    EXPECT_EQ((std::vector<std::string>{"-12.5", "7"}), command.operands);
}

// The usage lists every option of the table once, in either language, its explanation
// lines starting in one column.
TEST(OptionTable, UsageComesFromTheTable) {
    const OptionTable table = {
        {100, "--interval", nullptr, ValueKind::Whole, 0, 10, &ToolTexts::valueMs, &ToolTexts::helpInterval},
        {101, "--lamp-test", nullptr, ValueKind::None, 0, 0, nullptr, &ToolTexts::helpLampTest},
        kHelpOption,
    };
    for (const ToolTexts* t : {&kEnglishTexts, &kChineseTexts}) {
        const std::string usage = UsageText(table, "SYNOPSIS", "EXIT", *t);
        EXPECT_EQ(0u, usage.find("SYNOPSIS\n"));
        EXPECT_EQ(usage.size() - 4, usage.rfind("EXIT"));
        for (const OptionRow& o : table) {
            const std::string entry = std::string("\n  ") + o.name + " ";
            EXPECT_NE(std::string::npos, usage.find(entry)) << o.name;
            EXPECT_EQ(usage.find(entry), usage.rfind(entry)) << o.name;
        }
        EXPECT_NE(std::string::npos, usage.find(std::string("--interval ") + t->valueMs));
        // The lamp test's second line, in the explanations' column.
        const char* second = strchr(t->helpLampTest, '\n') + 1;
        EXPECT_NE(std::string::npos, usage.find("\n" + std::string(23, ' ') + std::string(second, strcspn(second, "\n"))));
    }
}

} // namespace
