// What a test may replace in the serial link, and nothing else includes: the call that
// hands the settings to a Windows port, to see the device control block exactly as the
// port would get it.
#pragma once

#ifdef _WIN32
#include <windows.h>

extern BOOL(WINAPI* g_pfnSetCommState)(HANDLE port, LPDCB dcb);
#endif
