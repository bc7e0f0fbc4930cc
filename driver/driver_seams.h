// What a test may replace in the driver, and nothing else includes.
#pragma once

#include <windows.h>

#include <cstdint>

#include "serial/serial_link.h"

// Storage for component objects (process heap); null simulates exhausted storage.
extern void*(WINAPI* g_pfnAllocObject)(SIZE_T size);

// The platform call the disconnect step makes, so a test can count the calls.
extern HRESULT(STDAPICALLTYPE* g_pfnCoDisconnectObject)(LPUNKNOWN, DWORD);

// The port write the driver makes, so a test can make a write fall short.
extern int32_t (*g_pfnWriteSerialPort)(SerialHandle port, const uint8_t* data, int32_t length);

// The trace's lock on its file, so a test can count how often a line tries to take it.
extern BOOL(WINAPI* g_pfnLockFileEx)(HANDLE, DWORD, DWORD, DWORD, DWORD, LPOVERLAPPED);
