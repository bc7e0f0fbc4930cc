// For the Windows programs the tests run: an exception that nothing caught ends the
// program at once with a line saying so, and with the exception's code as its status.
// What Wine does with such a crash by itself depends on whether a terminal is attached
// (without one the status has been 0), so the tests do not rely on it.
#pragma once

#include <windows.h>

#include <cstdio>

inline LONG WINAPI ReportUnhandledException(EXCEPTION_POINTERS* info) {
    const EXCEPTION_RECORD* record = info->ExceptionRecord;
    fprintf(stderr, "Unhandled exception 0x%08lX at %p\n", static_cast<unsigned long>(record->ExceptionCode),
            record->ExceptionAddress);
    fflush(stderr);
    TerminateProcess(GetCurrentProcess(), record->ExceptionCode);
    return EXCEPTION_EXECUTE_HANDLER;
}

inline void ReportUnhandledExceptions() { SetUnhandledExceptionFilter(ReportUnhandledException); }
