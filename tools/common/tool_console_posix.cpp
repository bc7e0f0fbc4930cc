#include "tool_console.h"

#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "tool_texts.h"

// Linux terminals, pipes and files all take UTF-8.
void UseUtf8Output(bool) {}

void WriteText(FILE* stream, const std::string& text) {
    fwrite(text.data(), 1, text.size(), stream);
    fflush(stream);
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
