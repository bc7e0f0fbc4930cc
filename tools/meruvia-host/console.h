// Text out of meruvia-host: UTF-8 inside the program; a console window gets UTF-16 (so
// Chinese shows whatever the console's code page), a pipe or a file gets UTF-8 bytes.
#pragma once

#include <windows.h>

#include <cstdio>
#include <string>

std::string Utf8(const wchar_t* text, int length = -1);
std::wstring Wide(const std::string& utf8);
// 8-bit text in a Windows code page (the driver's texts are code page 936) as UTF-8.
std::string FromCodePage(UINT codePage, const char* text);

// printf into UTF-8, then out to the stream as described above.
void Print(FILE* stream, const char* format, ...) __attribute__((format(printf, 2, 3)));
// The same, with "meruvia-host: " before and a line end after.
void Complain(const char* format, ...) __attribute__((format(printf, 1, 2)));

// The system's text for a Windows error or HRESULT, without its line end.
std::string SystemMessage(DWORD code);
