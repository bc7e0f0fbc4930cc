// Text to and from Windows: UTF-8 inside the tools, UTF-16 and code pages at the edges,
// and what a Windows error or HRESULT means, in the tool's language.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "tool_texts.h"

std::string Utf8(const wchar_t* text, int length = -1);
std::wstring Wide(const std::string& utf8);
// 8-bit text in a Windows code page (the driver's texts are code page 936) as UTF-8.
std::string FromCodePage(UINT codePage, const char* text);
// UTF-8 as 8-bit text in a code page; characters it lacks become "?".
std::string ToCodePage(UINT codePage, const std::string& utf8);

// What a Windows error or HRESULT means, with its number: the common component errors by
// name ("class not registered (0x80040154)"), the rest as the system words them in the
// tool's language, else in English, else as the system has it.
std::string SystemMessage(DWORD code, const ToolTexts& t);

// The long form of a path (no 8.3 short names), with the given text after it in brackets
// where the two differ; the text as it is when the file cannot be found.
std::string LongPathShown(const std::wstring& path);

// The program's arguments as the user typed them, whatever the code page (paths may be
// Chinese), in UTF-8.
std::vector<std::string> ArgumentsUtf8();
// argv for them: a pointer to each, and a null pointer after the last.
std::vector<char*> ArgumentPointers(std::vector<std::string>& arguments);
