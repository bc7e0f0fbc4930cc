// What a test may replace in the module, and nothing else includes: the registry and path
// calls registration makes, to make one of them fail. Values are written as UTF-16 so that
// a module path survives whatever the active code page; the keep-existing test reads
// through the 8-bit call, whose 256-byte limit decides which existing values are kept.
#pragma once

#include <windows.h>

struct RegistrationApi {
    LONG(WINAPI* queryValue)(HKEY, LPCSTR, LPSTR, PLONG);
    LONG(WINAPI* setValue)(HKEY, LPCWSTR, DWORD, LPCWSTR, DWORD);
    DWORD(WINAPI* getModuleFileName)(HMODULE, LPWSTR, DWORD);
    DWORD(WINAPI* getShortPathName)(LPCWSTR, LPWSTR, DWORD);
};

extern RegistrationApi g_registrationApi;
