#include "tool_console.h"

#include <cstdarg>

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

void Print(FILE* stream, const char* format, ...) {
    va_list args;
    va_start(args, format);
    const std::string text = Format(format, args);
    va_end(args);
    WriteText(stream, text);
}

void Complain(const char* format, ...) {
    va_list args;
    va_start(args, format);
    const std::string text = g_name + ": " + Format(format, args) + "\n";
    va_end(args);
    WriteText(stderr, text);
}
