// The one way to log: a line per event with its cause, written to standard error, which the client's
// start-up points at the log file beside the executable. Fatal start-up failures also reach the
// terminal the client was started from, because an error box cannot always be shown (no display, for
// one). The console programs open no log file: they point the log at their standard output, so every
// line they print reaches their terminal, or the journal when they run as a service.
#pragma once
#include <cstddef>
#include <cstdio>

// Keeps a copy of the current standard error for fatal lines, then reopens standard error onto the
// file at path, truncating it. False when the file could not be opened: standard error stays where
// it was.
bool openLogFile(const char* path);

// From now on, lines go to standard output instead of standard error (the console programs, at the
// start of main).
void logToStandardOutput();

// One line, printf-style (the newline is added), flushed at once so that a crash right after still
// leaves it in the log.
void logLine(const char* format, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 1, 2)))
#endif
    ;

// The same line, also written to the standard error the process started with.
void logFatal(const char* format, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 1, 2)))
#endif
    ;

// One line of prefix followed by exactly length bytes of text, for text that carries its length
// instead of ending in a NUL (WebGPU's messages); flushed at once like logLine's. Written to out,
// which is standard error (the log) but for a test that reads the line back.
void logLineBytes(std::FILE* out, const char* prefix, const char* text, size_t length);
