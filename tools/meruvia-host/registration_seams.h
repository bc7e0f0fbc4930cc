// What a test may replace in the tool's registration code, and nothing else includes: the
// call that removes a key, to see a key that cannot be removed (Wine does not apply a
// key's access list, as Windows does for a user without the right to delete it).
#pragma once

#include <windows.h>

extern LONG(WINAPI* g_pfnRegDeleteKeyW)(HKEY parent, LPCWSTR key);
