#include "tool_console.h"

#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdarg>
#include <cstdlib>
#include <cstring>

#include "tool_texts.h"

namespace {

std::string g_name = "tool";

std::string Format(const char* format, va_list args) {
    va_list again;
    va_copy(again, args);
    const int n = vsnprintf(nullptr, 0, format, args);
    std::string out(n > 0 ? static_cast<size_t>(n) + 1 : 1, '\0');
    if (n > 0)
        vsnprintf(&out[0], out.size(), format, again);
    va_end(again);
    out.pop_back();
    return out;
}

} // namespace

void SetToolName(const char* name) { g_name = name; }

// Linux terminals, pipes and files all take UTF-8.
void UseUtf8Output(bool) {}

void Print(FILE* stream, const char* format, ...) {
    va_list args;
    va_start(args, format);
    const std::string text = Format(format, args);
    va_end(args);
    fwrite(text.data(), 1, text.size(), stream);
    fflush(stream);
}

void Complain(const char* format, ...) {
    va_list args;
    va_start(args, format);
    const std::string text = g_name + ": " + Format(format, args) + "\n";
    va_end(args);
    fwrite(text.data(), 1, text.size(), stderr);
}

bool InputIsInteractive() { return isatty(STDIN_FILENO) != 0; }

bool ReadInputLine(std::string& line) {
    line.clear();
    int c;
    while ((c = getchar()) != EOF && c != '\n')
        line += static_cast<char>(c);
    if (!line.empty() && line.back() == '\r')
        line.pop_back();
    return c != EOF || !line.empty();
}

bool OwnsItsConsole() { return false; }

void WaitForKey() { getchar(); }

void PauseMs(unsigned long ms) {
    timespec ts = {static_cast<time_t>(ms / 1000), static_cast<long>(ms % 1000) * 1000000L};
    while (nanosleep(&ts, &ts) != 0 && errno == EINTR) {
    }
}

Language SystemLanguage() {
    // The first of these that is set decides, as for any program's messages.
    for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        const char* value = getenv(name);
        if (value != nullptr && *value != '\0')
            return strncmp(value, "zh", 2) == 0 ? Language::Chinese : Language::English;
    }
    return Language::English;
}

bool OutputIsConsole() { return isatty(STDOUT_FILENO) != 0; }

void BackOverLines(int n) { Print(stdout, "\x1b[%dA\r", n); }
