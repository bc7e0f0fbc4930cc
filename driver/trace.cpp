#include "driver/trace.h"

#include <windows.h>

#include <cstdarg>
#include <cstdio>
#include <cstring>

TraceMode g_traceMode = TraceMode::Off;

namespace {

HANDLE g_traceFile = INVALID_HANDLE_VALUE;
bool g_toDebugger = false;

constexpr DWORD kVariableMax = 32768;
constexpr int kLineMax = 1024;

bool StartsWith(const wchar_t* text, const wchar_t* prefix) {
    return wcsncmp(text, prefix, wcslen(prefix)) == 0;
}

// Holds a lock on one byte far past any real end of the trace file, shared by every
// process that traces into it, so that each line is appended whole. Gives up (and the line
// is dropped) rather than keep a host waiting on a process that holds it.
class AppendLock {
public:
    explicit AppendLock(HANDLE file) : file_(file) {
        for (int tries = 0; tries < 200; ++tries) {
            OVERLAPPED at = Where();
            if (LockFileEx(file_, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &at)) {
                held_ = true;
                return;
            }
            Sleep(1);
        }
    }
    ~AppendLock() {
        OVERLAPPED at = Where();
        if (held_)
            UnlockFileEx(file_, 0, 1, 0, &at);
    }
    AppendLock(const AppendLock&) = delete;
    AppendLock& operator=(const AppendLock&) = delete;
    bool held() const { return held_; }

private:
    static OVERLAPPED Where() {
        OVERLAPPED at = {};
        at.Offset = 0xFFFFFFFE;
        at.OffsetHigh = 0x7FFFFFFF;
        return at;
    }
    HANDLE file_;
    bool held_ = false;
};

void Emit(const char* line, int length) {
    if (g_toDebugger) {
        wchar_t wide[kLineMax + 1];
        const int n = MultiByteToWideChar(CP_UTF8, 0, line, length, wide, kLineMax);
        wide[n > 0 ? n : 0] = L'\0';
        OutputDebugStringW(wide);
        return;
    }
    // Appending alone is not atomic everywhere (Wine seeks, then writes), so the end is
    // found and written under the lock.
    AppendLock lock(g_traceFile);
    if (!lock.held())
        return;
    LARGE_INTEGER end = {};
    DWORD written = 0;
    if (SetFilePointerEx(g_traceFile, end, nullptr, FILE_END))
        WriteFile(g_traceFile, line, static_cast<DWORD>(length), &written, nullptr);
}

} // namespace

void StartTrace() {
    wchar_t* value = static_cast<wchar_t*>(HeapAlloc(GetProcessHeap(), 0, kVariableMax * sizeof(wchar_t)));
    if (value == nullptr)
        return;
    const DWORD n = GetEnvironmentVariableW(L"MERUVIA_TRACE", value, kVariableMax);
    if (n > 0 && n < kVariableMax) {
        const bool frames = StartsWith(value, L"all:");
        const wchar_t* target = frames ? value + 4 : value;
        if (wcscmp(target, L"debug") == 0) {
            g_toDebugger = true;
        } else if (*target != L'\0') {
            g_traceFile = CreateFileW(target, GENERIC_WRITE,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                      OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        }
        if (g_toDebugger || g_traceFile != INVALID_HANDLE_VALUE)
            g_traceMode = frames ? TraceMode::EventsAndFrames : TraceMode::Events;
    }
    HeapFree(GetProcessHeap(), 0, value);
}

void StopTrace() {
    g_traceMode = TraceMode::Off;
    if (g_traceFile != INVALID_HANDLE_VALUE)
        CloseHandle(g_traceFile);
    g_traceFile = INVALID_HANDLE_VALUE;
    g_toDebugger = false;
}

void TraceLine(const void* object, const char* format, ...) {
    if (!TraceOn())
        return;
    const DWORD savedError = GetLastError(); // the host may still look at it
    SYSTEMTIME t;
    GetLocalTime(&t);
    // The C runtime's own formatter (_snprintf), not the compiler runtime's portable one,
    // which would double the size of the module.
    char line[kLineMax];
    int n = _snprintf(line, sizeof line, "%04u-%02u-%02u %02u:%02u:%02u.%03u pid %lu object %p ", t.wYear,
                     t.wMonth, t.wDay, t.wHour, t.wMinute, t.wSecond, t.wMilliseconds,
                     GetCurrentProcessId(), object);
    va_list args;
    va_start(args, format);
    const int room = kLineMax - n - 2;
    const int m = _vsnprintf(line + n, static_cast<size_t>(room), format, args);
    va_end(args);
    n += m < 0 || m > room ? room : m; // a long line is cut, not lost
    line[n++] = '\r';
    line[n++] = '\n';
    Emit(line, n);
    SetLastError(savedError);
}

void DescribeWindowsError(uint32_t error, char* out, int size) {
    wchar_t text[512] = {};
    DWORD len = FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                               error, 0, text, 512, nullptr);
    while (len > 0 && (text[len - 1] == L'\r' || text[len - 1] == L'\n' || text[len - 1] == L' '))
        text[--len] = L'\0';
    const int n = _snprintf(out, static_cast<size_t>(size), "error %lu: ", static_cast<unsigned long>(error));
    if (n <= 0 || n >= size)
        return;
    const int m = WideCharToMultiByte(CP_UTF8, 0, text, static_cast<int>(len), out + n, size - n - 1,
                                      nullptr, nullptr);
    out[n + (m > 0 ? m : 0)] = '\0';
}

void AnsiToUtf8(const char* text, int length, char* out, int size) {
    wchar_t wide[256];
    const int w = MultiByteToWideChar(CP_ACP, 0, text, length, wide, 256);
    const int n = w > 0 ? WideCharToMultiByte(CP_UTF8, 0, wide, w, out, size - 1, nullptr, nullptr) : 0;
    out[n > 0 ? n : 0] = '\0';
}
