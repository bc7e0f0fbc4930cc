#include <cstring>
#include <strings.h>

#include "tool_texts.h"

const ToolTexts& TextsFor(Language language) {
    return language == Language::Chinese ? kChineseTexts : kEnglishTexts;
}

bool ParseLanguage(const char* name, Language& language) {
    // As engineers write them: the short code, the region form, or the common "cn".
    static const struct {
        const char* name;
        Language language;
    } kNames[] = {{"zh", Language::Chinese}, {"zh-CN", Language::Chinese}, {"zh_CN", Language::Chinese},
                  {"cn", Language::Chinese}, {"en", Language::English},    {"en-US", Language::English},
                  {"en_US", Language::English}};
    for (const auto& n : kNames) {
        if (strcasecmp(name, n.name) == 0) {
            language = n.language;
            return true;
        }
    }
    return false;
}

Language LanguageOfCommandLine(int argc, char** argv) {
    Language language = SystemLanguage();
    for (int i = 1; i + 1 < argc; ++i)
        if (strcmp(argv[i], "--lang") == 0)
            ParseLanguage(argv[i + 1], language);
    return language;
}
