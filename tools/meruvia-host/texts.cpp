#include "texts.h"

#include <windows.h>

const HostTexts* ChooseTexts(const char* lang) {
    if (lang == nullptr)
        return PRIMARYLANGID(GetUserDefaultUILanguage()) == LANG_CHINESE ? &kChineseTexts : &kEnglishTexts;
    if (_stricmp(lang, "zh") == 0)
        return &kChineseTexts;
    if (_stricmp(lang, "en") == 0)
        return &kEnglishTexts;
    return nullptr;
}
