#include "tool_console.h"

#include <windows.h>

#include "tool_texts.h"
#include "windows_text.h"

namespace {

bool g_utf8 = false;

bool IsConsole(HANDLE handle) {
    DWORD mode;
    return handle != nullptr && handle != INVALID_HANDLE_VALUE && GetConsoleMode(handle, &mode) != 0;
}

} // namespace

void WriteText(FILE* stream, const std::string& text) {
    const DWORD lastError = GetLastError();
    HANDLE handle = GetStdHandle(stream == stderr ? STD_ERROR_HANDLE : STD_OUTPUT_HANDLE);
    if (IsConsole(handle)) {
        fflush(stream);
        const std::wstring wide = Wide(text);
        DWORD written;
        WriteConsoleW(handle, wide.c_str(), static_cast<DWORD>(wide.size()), &written, nullptr);
    } else {
        // Without a console of its own (a service, a program without a window) the tool
        // writes in the OEM code page, as a console would have.
        UINT codePage = g_utf8 ? CP_UTF8 : GetConsoleOutputCP();
        if (codePage == 0)
            codePage = GetOEMCP();
        const std::string bytes = ToCodePage(codePage, text);
        fwrite(bytes.data(), 1, bytes.size(), stream);
        fflush(stream);
    }
    SetLastError(lastError);
}

void UseUtf8Output(bool utf8) { g_utf8 = utf8; }

bool InputIsInteractive() { return IsConsole(GetStdHandle(STD_INPUT_HANDLE)); }

bool ReadInputLine(std::string& line) {
    line.clear();
    HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
    if (IsConsole(input)) {
        // Typed text comes as UTF-16 whatever the console's code page.
        std::wstring typed;
        wchar_t buffer[256];
        DWORD n = 0;
        while (ReadConsoleW(input, buffer, 256, &n, nullptr) && n > 0) {
            typed.append(buffer, n);
            if (typed.back() == L'\n')
                break;
        }
        if (typed.empty())
            return false;
        // Ctrl+Z then Enter ends the input, as for any console program.
        if (typed[0] == L'\x1A')
            return false;
        while (!typed.empty() && (typed.back() == L'\n' || typed.back() == L'\r'))
            typed.pop_back();
        line = Utf8(typed.c_str());
        return true;
    }
    int c;
    while ((c = getchar()) != EOF && c != '\n')
        line += static_cast<char>(c);
    if (!line.empty() && line.back() == '\r')
        line.pop_back();
    return c != EOF || !line.empty();
}

bool OwnsItsConsole() {
    if (!IsConsole(GetStdHandle(STD_INPUT_HANDLE)) || !IsConsole(GetStdHandle(STD_OUTPUT_HANDLE)))
        return false;
    // A prompt shares its console with the programs it starts; Explorer gives each its own.
    DWORD processes[2];
    return GetConsoleProcessList(processes, 2) == 1;
}

void WaitForKey() {
    HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
    if (!IsConsole(input)) {
        getchar();
        return;
    }
    FlushConsoleInputBuffer(input);
    INPUT_RECORD record;
    DWORD n = 0;
    while (ReadConsoleInputW(input, &record, 1, &n) && n == 1)
        if (record.EventType == KEY_EVENT && record.Event.KeyEvent.bKeyDown)
            return;
}

void PauseMs(unsigned long ms) { Sleep(ms); }

Language SystemLanguage() {
    return PRIMARYLANGID(GetUserDefaultUILanguage()) == LANG_CHINESE ? Language::Chinese : Language::English;
}

bool OutputIsConsole() { return IsConsole(GetStdHandle(STD_OUTPUT_HANDLE)); }

// Through the console's own calls: the consoles of Windows before 10 know no escape codes.
void BackOverLines(int n) {
    HANDLE output = GetStdHandle(STD_OUTPUT_HANDLE);
    CONSOLE_SCREEN_BUFFER_INFO info;
    if (!GetConsoleScreenBufferInfo(output, &info))
        return;
    COORD to = {0, static_cast<SHORT>(info.dwCursorPosition.Y > n ? info.dwCursorPosition.Y - n : 0)};
    SetConsoleCursorPosition(output, to);
}
