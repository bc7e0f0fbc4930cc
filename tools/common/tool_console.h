// The console a field tool talks to, the same on every platform: text out in UTF-8 inside
// the program, typed lines in, and a key to wait for. On Windows a console window gets
// UTF-16 (Chinese shows whatever its code page), and output redirected to a file or a pipe
// is written in the console's code page, as Windows' own tools write it, so that type,
// more and Notepad read it; --utf8 makes it UTF-8 for scripts.
#pragma once

#include <cstdio>
#include <string>

// The name before the tool's complaints ("meruvia-host: ").
void SetToolName(const char* name);
// Redirected output in UTF-8 instead of the console's code page.
void UseUtf8Output(bool utf8);

// printf into UTF-8, then out to the stream as described above.
void Print(FILE* stream, const char* format, ...) __attribute__((format(printf, 2, 3)));
// To standard error, with the tool's name before and a line end after.
void Complain(const char* format, ...) __attribute__((format(printf, 1, 2)));

// The platform's side: UTF-8 text out to the stream as described above.
void WriteText(FILE* stream, const std::string& text);

// Whether standard input is a console someone types at (not a pipe or a file).
bool InputIsInteractive();
// The next line of standard input in UTF-8, without its line end; false at the end.
bool ReadInputLine(std::string& line);

// Whether the program has its console window to itself: started from Explorer or the
// Start menu rather than from a prompt, so the window closes when it ends.
bool OwnsItsConsole();
// Waits for a key (or for standard input to end).
void WaitForKey();

void PauseMs(unsigned long ms);

// Whether standard output is a console (or terminal) that text can be redrawn in.
bool OutputIsConsole();
// Moves the cursor back to the start of the line n lines up, to draw over them.
void BackOverLines(int n);
