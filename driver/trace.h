// The engineer's trace: switched on by the environment variable MERUVIA_TRACE, read once
// when the module loads.
//
//   MERUVIA_TRACE=PATH         append one line per event to the file PATH
//   MERUVIA_TRACE=debug        send the lines to the debugger output instead
//   MERUVIA_TRACE=all:PATH     as PATH, and also a line for every frame that went out
//   MERUVIA_TRACE=all:debug    as debug, with every frame
//
// Lines are UTF-8: local time, process id, the driver object, then the event. Tracing never
// changes a result the host sees, and a line that cannot be written is dropped.
#pragma once

#include <cstdint>

enum class TraceMode : uint8_t { Off, Events, EventsAndFrames };

extern TraceMode g_traceMode;

// Reads MERUVIA_TRACE and opens the file it names (at load), and closes it (at unload).
void StartTrace();
void StopTrace();

inline bool TraceOn() { return g_traceMode != TraceMode::Off; }
inline bool TraceFramesOn() { return g_traceMode == TraceMode::EventsAndFrames; }

// One line about the object; format and arguments as printf, giving UTF-8 text.
void TraceLine(const void* object, const char* format, ...) __attribute__((format(printf, 2, 3)));

// "error N: <the system's text for N>", in UTF-8, into out.
void DescribeWindowsError(uint32_t error, char* out, int size);

// 8-bit text in the active code page, as UTF-8 for a trace line (at most size - 1 bytes).
void AnsiToUtf8(const char* text, int length, char* out, int size);
