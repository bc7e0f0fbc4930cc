#include "console.h"

#include <cstdarg>
#include <vector>

std::string Utf8(const wchar_t* text, int length) {
    const int n = WideCharToMultiByte(CP_UTF8, 0, text, length, nullptr, 0, nullptr, nullptr);
    if (n <= 0)
        return std::string();
    std::string out(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text, length, &out[0], n, nullptr, nullptr);
    if (length < 0)
        out.pop_back(); // the terminator
    return out;
}

std::wstring Wide(const std::string& utf8) {
    const int n = MultiByteToWideChar(CP_UTF8, 0, utf8.c_str(), -1, nullptr, 0);
    if (n <= 0)
        return std::wstring();
    std::wstring out(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.c_str(), -1, &out[0], n);
    out.pop_back();
    return out;
}

std::string FromCodePage(UINT codePage, const char* text) {
    if (text == nullptr)
        return std::string();
    const int n = MultiByteToWideChar(codePage, 0, text, -1, nullptr, 0);
    if (n <= 0)
        return std::string();
    std::wstring wide(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(codePage, 0, text, -1, &wide[0], n);
    return Utf8(wide.c_str());
}

namespace {

void Write(FILE* stream, const std::string& text) {
    HANDLE handle = GetStdHandle(stream == stderr ? STD_ERROR_HANDLE : STD_OUTPUT_HANDLE);
    DWORD mode;
    if (GetConsoleMode(handle, &mode)) {
        fflush(stream);
        const std::wstring wide = Wide(text);
        DWORD written;
        WriteConsoleW(handle, wide.c_str(), static_cast<DWORD>(wide.size()), &written, nullptr);
    } else {
        fwrite(text.data(), 1, text.size(), stream);
        fflush(stream);
    }
}

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

void Print(FILE* stream, const char* format, ...) {
    va_list args;
    va_start(args, format);
    Write(stream, Format(format, args));
    va_end(args);
}

void Complain(const char* format, ...) {
    va_list args;
    va_start(args, format);
    Write(stderr, "meruvia-host: " + Format(format, args) + "\n");
    va_end(args);
}

std::string SystemMessage(DWORD code) {
    wchar_t text[512] = {};
    DWORD n = FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0,
                             text, 512, nullptr);
    while (n > 0 && (text[n - 1] == L'\r' || text[n - 1] == L'\n' || text[n - 1] == L' ' || text[n - 1] == L'.'))
        text[--n] = L'\0';
    char number[32];
    snprintf(number, sizeof number, (code & 0x80000000u) != 0 ? "0x%08lX" : "%lu", code);
    if (n == 0)
        return std::string("error ") + number;
    snprintf(number, sizeof number, (code & 0x80000000u) != 0 ? " (0x%08lX)" : " (%lu)", code);
    return Utf8(text) + number;
}
