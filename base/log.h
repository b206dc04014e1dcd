// The one way to log: a line per event with its cause, written to standard error, which the client's
// start-up points at the log file beside the executable. Fatal start-up failures also reach the
// terminal the client was started from, because an error box cannot always be shown (no display, for
// one). The console programs open no log file: they point the log at their standard output, so every
// line they print reaches their terminal, or the journal when they run as a service.
#pragma once
#include <cstddef>
#include <cstdint>
#include <cstdio>

// Keeps a copy of the current standard error for fatal lines, keeps the last run's log at path as
// its previous log (previousLogPath, replacing the one before), then reopens standard error onto a
// new file at path. False when the file could not be opened: standard error stays where it was.
bool openLogFile(const char* path);

// "vornhalzanthery.previous.log" beside "vornhalzanthery.log": ".previous" before the extension of
// the file's name, or at its end when the name has none.
void previousLogPath(const char* path, char* out, size_t capacity);

// From now on, lines go to standard output instead of standard error (the console programs, at the
// start of main).
void logToStandardOutput();

// From now on, each line starts with the local date and time ("2026-12-08 20:23:15 "): for a program
// whose lines do not go to the journal, which stamps its own.
void stampLogLines(bool stamped);

// Whether the journal reads the stream with this device and inode: systemd names it in
// JOURNAL_STREAM ("device:inode", in decimal), which a program started from a service inherits even
// when its standard output goes elsewhere. journalStream may be null (not run by systemd).
bool journalReadsStream(const char* journalStream, uint64_t device, uint64_t inode);

// journalReadsStream for the process's own standard output.
bool standardOutputGoesToJournal();

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
