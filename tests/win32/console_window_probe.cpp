// Starts a program the way Explorer does on a double-click, in a console window of its
// own, reads what that window shows, and presses a key in it once the given text is
// there. Prints whether the program was still waiting then, the window's text and the
// program's exit status.
//
//     console_window_probe.exe TEXT PROGRAM
#include <windows.h>

#include <cstdio>
#include <string>

namespace {

// The program's processor time so far, in 100 ns units.
unsigned long long BusyTime(HANDLE process) {
    FILETIME created, ended, kernel, user;
    if (!GetProcessTimes(process, &created, &ended, &kernel, &user))
        return 0;
    return (static_cast<unsigned long long>(kernel.dwHighDateTime) << 32 | kernel.dwLowDateTime) +
           (static_cast<unsigned long long>(user.dwHighDateTime) << 32 | user.dwLowDateTime);
}

// Waits until the program has stopped working for a while (it waits for a key, or has
// ended): the probe must not join its console sooner, or the program would find two
// processes on it, as in a prompt's window, and rightly not take it for its own.
void WaitUntilIdle(HANDLE process) {
    unsigned long long last = BusyTime(process);
    int quiet = 0;
    for (int k = 0; k < 1200 && quiet < 30; ++k) {
        if (WaitForSingleObject(process, 100) == WAIT_OBJECT_0)
            return;
        const unsigned long long now = BusyTime(process);
        quiet = now == last ? quiet + 1 : 0;
        last = now;
    }
}

// The text the console window shows, row after row.
std::wstring ScreenText() {
    HANDLE out = CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                             OPEN_EXISTING, 0, nullptr);
    std::wstring text;
    CONSOLE_SCREEN_BUFFER_INFO info;
    if (out != INVALID_HANDLE_VALUE && GetConsoleScreenBufferInfo(out, &info)) {
        for (SHORT row = 0; row <= info.dwCursorPosition.Y; ++row) {
            std::wstring line(static_cast<size_t>(info.dwSize.X), L' ');
            DWORD n = 0;
            ReadConsoleOutputCharacterW(out, &line[0], static_cast<DWORD>(line.size()), COORD{0, row}, &n);
            line.resize(n);
            text += line.substr(0, line.find_last_not_of(L' ') + 1) + L"\n";
        }
    }
    if (out != INVALID_HANDLE_VALUE)
        CloseHandle(out);
    return text;
}

void PressAKey() {
    HANDLE in = CreateFileW(L"CONIN$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            OPEN_EXISTING, 0, nullptr);
    INPUT_RECORD keys[2] = {};
    for (int k = 0; k < 2; ++k) {
        keys[k].EventType = KEY_EVENT;
        keys[k].Event.KeyEvent.bKeyDown = k == 0;
        keys[k].Event.KeyEvent.wRepeatCount = 1;
        keys[k].Event.KeyEvent.wVirtualKeyCode = 'X';
        keys[k].Event.KeyEvent.uChar.UnicodeChar = L'x';
    }
    DWORD n = 0;
    WriteConsoleInputW(in, keys, 2, &n);
    CloseHandle(in);
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc != 3) {
        fprintf(stderr, "usage: console_window_probe TEXT PROGRAM\n");
        return 2;
    }
    const std::wstring until = argv[1];
    std::wstring command = std::wstring(L"\"") + argv[2] + L"\"";
    // What reports to the test must go through the probe's own output, kept before it
    // attaches to the program's console.
    HANDLE report = GetStdHandle(STD_OUTPUT_HANDLE);
    STARTUPINFOW start = {};
    start.cb = sizeof start;
    PROCESS_INFORMATION process = {};
    if (!CreateProcessW(nullptr, &command[0], nullptr, nullptr, FALSE, CREATE_NEW_CONSOLE, nullptr, nullptr, &start,
                        &process)) {
        fprintf(stderr, "cannot start the program: %lu\n", GetLastError());
        return 2;
    }
    FreeConsole();
    WaitUntilIdle(process.hProcess);
    std::wstring shown;
    bool attached = false;
    for (int k = 0; k < 600 && shown.find(until) == std::wstring::npos; ++k) {
        Sleep(100);
        attached = attached || AttachConsole(process.dwProcessId);
        if (attached)
            shown = ScreenText();
        if (WaitForSingleObject(process.hProcess, 0) == WAIT_OBJECT_0)
            break;
    }
    const bool waiting = WaitForSingleObject(process.hProcess, 0) == WAIT_TIMEOUT;
    if (attached && waiting)
        PressAKey();
    const bool ended = WaitForSingleObject(process.hProcess, 30000) == WAIT_OBJECT_0;
    DWORD status = 259;
    GetExitCodeProcess(process.hProcess, &status);
    const int length = WideCharToMultiByte(CP_UTF8, 0, shown.c_str(), static_cast<int>(shown.size()), nullptr, 0,
                                           nullptr, nullptr);
    std::string text(static_cast<size_t>(length), '\0');
    WideCharToMultiByte(CP_UTF8, 0, shown.c_str(), static_cast<int>(shown.size()), &text[0], length, nullptr, nullptr);
    char head[128];
    snprintf(head, sizeof head, "attached %d\nwaiting %d\nended %d\nstatus %lu\n", attached, waiting, ended, status);
    DWORD written = 0;
    WriteFile(report, head, static_cast<DWORD>(strlen(head)), &written, nullptr);
    WriteFile(report, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    if (!ended)
        TerminateProcess(process.hProcess, 1);
    return 0;
}
