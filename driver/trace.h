// The engineer's trace: switched on by the environment variable MERUVIA_TRACE, read once
// when the module loads.
//
//   MERUVIA_TRACE=PATH         append one line per event to the file PATH
//   MERUVIA_TRACE=debug        send the lines to the debugger output instead
//   MERUVIA_TRACE=all:PATH     as PATH, and also a line for every frame that went out
//   MERUVIA_TRACE=all:debug    as debug, with every frame
//
// PATH must be a full path on a drive letter (C:\...) naming a plain disk file, reached
// through no link or junction. The file is opened when the first line is to be written, so
// a process with nothing to report never creates it. Any other target (a device, a pipe, a
// network or relative path) turns the trace off, and the reason goes to the debugger
// output. At kTraceFileLimit bytes the file is renamed to PATH.1 (one generation kept)
// and a new one begun.
//
// Lines are UTF-8: local time, process id, the driver object, then the event. Control
// characters in texts from the host are written escaped, so one event is always one line.
// Tracing never changes a result the host sees, and a line that cannot be written is
// dropped.
#pragma once

#include <cstddef>
#include <cstdint>

enum class TraceMode : uint8_t { Off, Events, EventsAndFrames };

extern TraceMode g_traceMode;

constexpr uint32_t kTraceFileLimit = 16u * 1024u * 1024u;

// Reads MERUVIA_TRACE (at load; nothing else), and closes the file if one was opened (at
// unload).
void StartTrace();
void StopTrace();

inline bool TraceOn() { return g_traceMode != TraceMode::Off; }
inline bool TraceFramesOn() { return g_traceMode == TraceMode::EventsAndFrames; }

// One line about the object; format and arguments as printf, giving UTF-8 text.
void TraceLine(const void* object, const char* format, ...) __attribute__((format(printf, 2, 3)));

// "error N: <the system's text for N>", in UTF-8, into out.
void DescribeWindowsError(uint32_t error, char* out, int size);

// A text from the host, 8-bit in the active code page and read no further than maxLength
// bytes or its terminator, as UTF-8 for a trace line (at most size - 1 bytes), with control
// characters escaped (\r, \n, \t, \xNN).
void HostTextToUtf8(const char* text, size_t maxLength, char* out, int size);
