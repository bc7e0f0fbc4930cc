// Self-registration: writes the component's keys under HKEY_CLASSES_ROOT.
#pragma once

#include <windows.h>

#include <cstddef>

// One key, relative to HKEY_CLASSES_ROOT, and its default value. %n in either stands for
// symbol n (%1 class id, %2 ProgID, %3 module path, %5 type name).
struct RegistryTemplate {
    const char* key;
    const char* value;
};

constexpr int kRegistrySymbolCount = 10; // %0 .. %9

// The registry and path calls registration makes; a test may replace them to make a call
// fail.
struct RegistrationApi {
    LONG(WINAPI* queryValue)(HKEY, LPCSTR, LPSTR, PLONG);
    LONG(WINAPI* setValue)(HKEY, LPCSTR, DWORD, LPCSTR, DWORD);
    DWORD(WINAPI* getShortPathName)(LPCSTR, LPSTR, DWORD);
};

extern RegistrationApi g_registrationApi;

// TRUE when every entry was written or, without replace, left as it was; FALSE at the
// first failed write, after which no further entry is tried.
BOOL WriteRegistryList(const RegistryTemplate* list, size_t count,
                       const char* const symbols[kRegistrySymbolCount], BOOL replace);

// Writes the entries of every enrolled class-factory record that has a ProgID.
void UpdateClassRegistry();
