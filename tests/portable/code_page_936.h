// An independent conversion of UTF-8 text into code page 936: the C library's iconv
// natively, the Windows code-page tables under Wine.
#pragma once

#include <cstring>
#include <string>

#ifdef _WIN32
#include <windows.h>
#else
#include <iconv.h>
#endif

inline std::string ToCodePage936(const char* utf8) {
#ifdef _WIN32
    wchar_t wide[128];
    const int n = MultiByteToWideChar(CP_UTF8, 0, utf8, -1, wide, 128);
    char out[256];
    const int m = WideCharToMultiByte(936, 0, wide, n, out, sizeof out, nullptr, nullptr);
    return m > 0 ? std::string(out) : std::string();
#else
    iconv_t cd = iconv_open("CP936", "UTF-8");
    char out[256] = {};
    char* in = const_cast<char*>(utf8);
    size_t inLeft = strlen(utf8);
    char* outPtr = out;
    size_t outLeft = sizeof out - 1;
    const size_t r = iconv(cd, &in, &inLeft, &outPtr, &outLeft);
    iconv_close(cd);
    return r == static_cast<size_t>(-1) ? std::string() : std::string(out);
#endif
}

