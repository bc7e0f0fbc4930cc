#include "windows_text.h"

#include <shellapi.h>

#include <algorithm>
#include <cstdio>
#include <iterator>

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

std::string ToCodePage(UINT codePage, const std::string& utf8) {
    if (codePage == CP_UTF8 || utf8.empty())
        return utf8;
    const std::wstring wide = Wide(utf8);
    const int n = WideCharToMultiByte(codePage, 0, wide.c_str(), static_cast<int>(wide.size()), nullptr, 0, nullptr,
                                      nullptr);
    if (n <= 0)
        return utf8;
    std::string out(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(codePage, 0, wide.c_str(), static_cast<int>(wide.size()), &out[0], n, nullptr, nullptr);
    return out;
}

namespace {

// The errors an engineer meets when a driver will not load or be created.
const char* NamedError(DWORD code, const ToolTexts& t) {
    switch (code) {
    case 0x80040154: return t.errClassNotRegistered;  // REGDB_E_CLASSNOTREG
    case 0x80040111: return t.errClassNotAvailable;   // CLASS_E_CLASSNOTAVAILABLE
    case 0x80004002: return t.errNoInterface;         // E_NOINTERFACE
    case 0x80070005:                                  // E_ACCESSDENIED
    case ERROR_ACCESS_DENIED: return t.errAccessDenied;
    case 0x8007007E:                                  // HRESULT_FROM_WIN32(ERROR_MOD_NOT_FOUND)
    case ERROR_MOD_NOT_FOUND: return t.errModuleNotFound;
    case 0x800700C1:                                  // HRESULT_FROM_WIN32(ERROR_BAD_EXE_FORMAT)
    case ERROR_BAD_EXE_FORMAT: return t.errBadImage;
    case 0x80070002:
    case ERROR_FILE_NOT_FOUND: return t.errFileNotFound;
    case 0x8007000E:                                  // E_OUTOFMEMORY
    case ERROR_NOT_ENOUGH_MEMORY:
    case ERROR_OUTOFMEMORY: return t.errOutOfMemory;
    default: return nullptr;
    }
}

std::wstring SystemWords(DWORD code, LANGID language) {
    wchar_t text[512] = {};
    DWORD n = FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, language,
                             text, 512, nullptr);
    while (n > 0 && (text[n - 1] == L'\r' || text[n - 1] == L'\n' || text[n - 1] == L' ' || text[n - 1] == L'.' ||
                     text[n - 1] == L'\x3002'))
        text[--n] = L'\0';
    return std::wstring(text, n);
}

} // namespace

std::string SystemMessage(DWORD code, const ToolTexts& t) {
    const DWORD lastError = GetLastError();
    char number[32];
    snprintf(number, sizeof number, (code & 0x80000000u) != 0 ? "0x%08lX" : "%lu", code);
    std::string words;
    if (const char* named = NamedError(code, t)) {
        words = named;
    } else {
        const LANGID english = MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US);
        const LANGID own = &t == &kChineseTexts ? MAKELANGID(LANG_CHINESE, SUBLANG_CHINESE_SIMPLIFIED) : english;
        std::wstring text = SystemWords(code, own);
        if (text.empty() && own != english)
            text = SystemWords(code, english);
        if (text.empty()) // a system with neither: its own words are still better than none
            text = SystemWords(code, 0);
        words = Utf8(text.c_str());
    }
    SetLastError(lastError);
    if (words.empty()) {
        char shown[64];
        snprintf(shown, sizeof shown, t.errorNumber, number);
        return shown;
    }
    return words + " (" + number + ")";
}

std::string LongPathShown(const std::wstring& path) {
    const DWORD lastError = GetLastError();
    std::wstring full(32768, L'\0');
    const DWORD n = GetLongPathNameW(path.c_str(), &full[0], static_cast<DWORD>(full.size()));
    SetLastError(lastError);
    if (n == 0 || n >= full.size())
        return Utf8(path.c_str());
    full.resize(n);
    if (_wcsicmp(full.c_str(), path.c_str()) == 0)
        return Utf8(path.c_str());
    return Utf8(full.c_str()) + " [" + Utf8(path.c_str()) + "]";
}

std::vector<std::string> ArgumentsUtf8() {
    int argc = 0;
    wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &argc);
    std::vector<std::string> arguments;
    if (wide == nullptr) // no memory for the split: the tool then runs as if given nothing
        return arguments;
    for (int i = 0; i < argc; ++i)
        arguments.push_back(Utf8(wide[i]));
    LocalFree(wide);
    return arguments;
}

std::vector<char*> ArgumentPointers(std::vector<std::string>& arguments) {
    std::vector<char*> argv;
    argv.reserve(arguments.size() + 1);
    std::transform(arguments.begin(), arguments.end(), std::back_inserter(argv),
                   [](std::string& a) { return &a[0]; });
    argv.push_back(nullptr);
    return argv;
}
