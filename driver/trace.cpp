#include "driver/trace.h"

#include <windows.h>

#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "driver/critical_section.h"
#include "driver/driver_seams.h"
#include "driver/early_init.h"

TraceMode g_traceMode = TraceMode::Off;
BOOL(WINAPI* g_pfnLockFileEx)(HANDLE, DWORD, DWORD, DWORD, DWORD, LPOVERLAPPED) = LockFileEx;

namespace {

constexpr DWORD kVariableMax = 32768;
constexpr int kLineMax = 1024;

bool g_toDebugger = false;
wchar_t* g_tracePath = nullptr; // the file named by the variable, not yet checked
HANDLE g_traceFile = INVALID_HANDLE_VALUE;
// Driver objects on several threads share the one file handle.
CriticalSection g_traceLock MERUVIA_EARLY_INIT;

bool StartsWith(const wchar_t* text, const wchar_t* prefix) {
    return wcsncmp(text, prefix, wcslen(prefix)) == 0;
}

bool IsSeparator(wchar_t c) { return c == L'\\' || c == L'/'; }

wchar_t Upper(wchar_t c) { return c >= L'a' && c <= L'z' ? static_cast<wchar_t>(c - L'a' + L'A') : c; }

// CON, PRN, AUX, NUL, COM0-9, LPT0-9, CONIN$, CONOUT$, with or without an extension: in
// any folder these names open the device, not a file.
bool IsDeviceName(const wchar_t* name) {
    wchar_t base[8] = {};
    size_t n = 0;
    while (name[n] != L'\0' && name[n] != L'.' && name[n] != L' ') {
        if (n == 7)
            return false;
        base[n] = Upper(name[n]);
        ++n;
    }
    static const wchar_t* const kNames[] = {L"CON", L"PRN", L"AUX", L"NUL", L"CONIN$", L"CONOUT$"};
    for (const wchar_t* device : kNames)
        if (wcscmp(base, device) == 0)
            return true;
    return n == 4 && (wcsncmp(base, L"COM", 3) == 0 || wcsncmp(base, L"LPT", 3) == 0) && base[3] >= L'0' &&
           base[3] <= L'9';
}

// Why the path cannot be a trace file, judged before anything is opened; null when it may be.
const wchar_t* RefusePath(const wchar_t* path) {
    const wchar_t drive = Upper(path[0]);
    if (drive < L'A' || drive > L'Z' || path[1] != L':' || !IsSeparator(path[2]))
        return L"not a full path on a drive letter (C:\\...)";
    if (wcschr(path + 2, L':') != nullptr)
        return L"a stream or device name, not a file";
    const wchar_t* name = path + 2;
    for (const wchar_t* p = path + 2; *p != L'\0'; ++p)
        if (IsSeparator(*p))
            name = p + 1;
    if (*name == L'\0' || IsDeviceName(name))
        return L"names a device or a folder, not a file";
    // Every folder on the way, from the drive's root down: none may be a link or junction.
    wchar_t folder[MAX_PATH];
    for (size_t end = 3; path + end < name; ++end) {
        if (!IsSeparator(path[end]))
            continue;
        if (end >= MAX_PATH)
            return L"the folder's path is too long";
        memcpy(folder, path, end * sizeof(wchar_t));
        folder[end] = L'\0';
        const DWORD attributes = GetFileAttributesW(folder);
        if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0)
            return L"a folder on the way is a link or junction";
    }
    return nullptr;
}

void SayToDebugger(const wchar_t* what, const wchar_t* path, const wchar_t* why) {
    wchar_t text[600];
    _snwprintf(text, 599, L"MERUVIA_TRACE: %ls \"%.260ls\": %ls\r\n", what, path, why);
    text[599] = L'\0';
    OutputDebugStringW(text);
}

bool SameFile(const BY_HANDLE_FILE_INFORMATION& a, const BY_HANDLE_FILE_INFORMATION& b) {
    return a.dwVolumeSerialNumber == b.dwVolumeSerialNumber && a.nFileIndexHigh == b.nFileIndexHigh &&
           a.nFileIndexLow == b.nFileIndexLow;
}

// Opens the trace file, or says why not and returns INVALID_HANDLE_VALUE. A link at the
// end of the path is opened as itself, and then refused.
HANDLE OpenTraceFile(const wchar_t* path) {
    if (const wchar_t* why = RefusePath(path)) {
        SayToDebugger(L"not tracing to", path, why);
        return INVALID_HANDLE_VALUE;
    }
    HANDLE file = CreateFileW(path, GENERIC_WRITE | FILE_READ_ATTRIBUTES,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        SayToDebugger(L"cannot open", path, L"the file cannot be opened for writing");
        return INVALID_HANDLE_VALUE;
    }
    BY_HANDLE_FILE_INFORMATION info;
    if (GetFileType(file) != FILE_TYPE_DISK || !GetFileInformationByHandle(file, &info) ||
        (info.dwFileAttributes & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY)) != 0) {
        CloseHandle(file);
        SayToDebugger(L"not tracing to", path, L"not a plain disk file");
        return INVALID_HANDLE_VALUE;
    }
    return file;
}

// Whether the path still names the file behind the handle (another process may have
// rolled it over already).
bool PathNamesFile(const wchar_t* path, HANDLE file) {
    HANDLE named = CreateFileW(path, FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                               nullptr, OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (named == INVALID_HANDLE_VALUE)
        return false;
    BY_HANDLE_FILE_INFORMATION a;
    BY_HANDLE_FILE_INFORMATION b;
    const bool same = GetFileInformationByHandle(named, &a) && GetFileInformationByHandle(file, &b) && SameFile(a, b);
    CloseHandle(named);
    return same;
}

// PATH becomes PATH.1, replacing the generation before it.
bool RollOver(const wchar_t* path) {
    const size_t n = wcslen(path);
    auto* older = static_cast<wchar_t*>(HeapAlloc(GetProcessHeap(), 0, (n + 3) * sizeof(wchar_t)));
    if (older == nullptr)
        return false;
    memcpy(older, path, n * sizeof(wchar_t));
    memcpy(older + n, L".1", 3 * sizeof(wchar_t));
    const bool moved = MoveFileExW(path, older, MOVEFILE_REPLACE_EXISTING) != FALSE;
    HeapFree(GetProcessHeap(), 0, older);
    return moved;
}

// Holds a lock on one byte far past any real end of the trace file, shared by every
// process that traces into it, so that each line is appended whole. Taken at once or not
// at all: a host call never waits on another process for its trace line, which is then
// dropped (and counted).
class AppendLock {
public:
    explicit AppendLock(HANDLE file) : file_(file) {
        OVERLAPPED at = Where();
        held_ = g_pfnLockFileEx(file_, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &at) != FALSE;
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

enum class Appended { Written, Dropped, Full, Unbounded };

// Lines dropped because another process held the file's lock, told in the next line
// written (under g_traceLock).
unsigned long g_droppedLines = 0;

// Appending alone is not atomic everywhere (Wine seeks, then writes), so the end is found
// and written under the lock. A full file is rolled over, under its lock, by whichever
// process finds it full first.
Appended Append(const char* line, int length) {
    AppendLock lock(g_traceFile);
    LARGE_INTEGER size = {};
    if (!lock.held()) {
        ++g_droppedLines;
        return Appended::Dropped;
    }
    if (!GetFileSizeEx(g_traceFile, &size))
        return Appended::Dropped;
    // The first line after some were dropped says so at its end.
    char noted[kLineMax + 96];
    if (g_droppedLines != 0 && length >= 2 && length <= kLineMax) {
        const size_t kept = static_cast<size_t>(length) - 2; // without its line end
        memcpy(noted, line, kept);
        const size_t room = sizeof noted - kept;
        const int n = _snprintf(&noted[kept], room,
                                " [%lu trace lines before this one dropped: another process held the file]\r\n",
                                g_droppedLines);
        if (n > 0 && static_cast<size_t>(n) < room) {
            line = noted;
            length = static_cast<int>(kept) + n;
        }
    }
    if (size.QuadPart + length > kTraceFileLimit) {
        if (PathNamesFile(g_tracePath, g_traceFile) && !RollOver(g_tracePath))
            return Appended::Unbounded;
        return Appended::Full;
    }
    LARGE_INTEGER end = {};
    DWORD written = 0;
    if (SetFilePointerEx(g_traceFile, end, nullptr, FILE_END) &&
        WriteFile(g_traceFile, line, static_cast<DWORD>(length), &written, nullptr))
        g_droppedLines = 0;
    return Appended::Written;
}

void CloseTraceFile() {
    if (g_traceFile != INVALID_HANDLE_VALUE)
        CloseHandle(g_traceFile);
    g_traceFile = INVALID_HANDLE_VALUE;
}

void Emit(const char* line, int length) {
    if (g_toDebugger) {
        wchar_t wide[kLineMax + 1];
        const int n = MultiByteToWideChar(CP_UTF8, 0, line, length, wide, kLineMax);
        wide[n > 0 ? n : 0] = L'\0';
        OutputDebugStringW(wide);
        return;
    }
    CriticalSectionHolder hold(g_traceLock);
    // Twice at most: the file held may have been full, and the one now at the path is not.
    for (int attempt = 0; attempt < 2 && TraceOn(); ++attempt) {
        if (g_traceFile == INVALID_HANDLE_VALUE)
            g_traceFile = OpenTraceFile(g_tracePath);
        if (g_traceFile == INVALID_HANDLE_VALUE) {
            g_traceMode = TraceMode::Off;
            return;
        }
        switch (Append(line, length)) {
        case Appended::Written:
        case Appended::Dropped:
            return;
        case Appended::Unbounded: // full, and it could not be renamed: the trace stops
            g_traceMode = TraceMode::Off;
            return;
        case Appended::Full:
            CloseTraceFile();
            break;
        }
    }
}

char EscapeLetter(unsigned char c) {
    switch (c) {
    case '\r': return 'r';
    case '\n': return 'n';
    case '\t': return 't';
    default: return 0;
    }
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
            // Kept for the first line; the file is not touched now.
            const size_t length = wcslen(target) + 1;
            g_tracePath = static_cast<wchar_t*>(HeapAlloc(GetProcessHeap(), 0, length * sizeof(wchar_t)));
            if (g_tracePath != nullptr)
                memcpy(g_tracePath, target, length * sizeof(wchar_t));
        }
        if (g_toDebugger || g_tracePath != nullptr)
            g_traceMode = frames ? TraceMode::EventsAndFrames : TraceMode::Events;
    }
    HeapFree(GetProcessHeap(), 0, value);
}

void StopTrace() {
    g_traceMode = TraceMode::Off;
    CloseTraceFile();
    if (g_tracePath != nullptr)
        HeapFree(GetProcessHeap(), 0, g_tracePath);
    g_tracePath = nullptr;
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

void HostTextToUtf8(const char* text, size_t maxLength, char* out, int size) {
    static const char kHex[] = "0123456789ABCDEF";
    // In the code pages of the host's texts, bytes below 0x20 are never part of a longer
    // character, so they can be escaped before the text is converted.
    constexpr size_t kMaxText = 128;
    char escaped[4 * kMaxText + 1];
    size_t e = 0;
    for (size_t i = 0; i < maxLength && i < kMaxText && text[i] != '\0'; ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c >= 0x20 && c != 0x7F) {
            escaped[e++] = static_cast<char>(c);
        } else if (const char letter = EscapeLetter(c)) {
            escaped[e++] = '\\';
            escaped[e++] = letter;
        } else {
            escaped[e++] = '\\';
            escaped[e++] = 'x';
            escaped[e++] = kHex[c >> 4];
            escaped[e++] = kHex[c & 15];
        }
    }
    wchar_t wide[sizeof escaped];
    const int w = MultiByteToWideChar(CP_ACP, 0, escaped, static_cast<int>(e), wide, static_cast<int>(sizeof escaped));
    const int n = w > 0 ? WideCharToMultiByte(CP_UTF8, 0, wide, w, out, size - 1, nullptr, nullptr) : 0;
    out[n > 0 ? n : 0] = '\0';
}
