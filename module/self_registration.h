// Self-registration: writes the component's keys under HKEY_CLASSES_ROOT.
#pragma once

#include <windows.h>

#include <cstddef>

// One key, relative to HKEY_CLASSES_ROOT, and its default value. %n in either stands for
// symbol n (%1 class id, %2 ProgID, %3 module path, %5 type name).
struct RegistryTemplate {
    const wchar_t* key;
    const wchar_t* value;
};

constexpr int kRegistrySymbolCount = 10; // %0 .. %9

// TRUE when every entry was written or, without replace, left as it was; FALSE at the
// first failed write, after which no further entry is tried.
BOOL WriteRegistryList(const RegistryTemplate* list, size_t count,
                       const wchar_t* const symbols[kRegistrySymbolCount], BOOL replace);

// Writes the entries of every enrolled class-factory record that has a ProgID. TRUE when
// every such record has all its keys in place.
BOOL UpdateClassRegistry();
