// Log lines through standard error, and a duplicate of the original stream for fatal ones.
#include "base/log.h"

#include <cstdarg>
#include <cstdio>

#if defined(_WIN32)
#include <io.h>
#define duplicateDescriptor _dup
#define openDescriptor _fdopen
#define fileDescriptor _fileno
#else
#include <unistd.h>
#define duplicateDescriptor dup
#define openDescriptor fdopen
#define fileDescriptor fileno
#endif

namespace {

// The standard error the process started with, once openLogFile has moved the real one; lives for
// the process.
std::FILE* originalStandardError;

// Where logLine writes: standard error (the client's log file) unless a console program chose its
// standard output; lives for the process.
std::FILE* logStream;

std::FILE* logOut() { return logStream ? logStream : stderr; }

// Every line ends here, so none can stay in a buffer when the process dies.
void endLine(std::FILE* out) {
    std::fputc('\n', out);
    std::fflush(out);
}

void writeLine(std::FILE* out, const char* format, va_list arguments) {
    std::vfprintf(out, format, arguments);
    endLine(out);
}

}  // namespace

bool openLogFile(const char* path) {
    if (!originalStandardError) {
        int copy = duplicateDescriptor(fileDescriptor(stderr));
        if (copy >= 0) originalStandardError = openDescriptor(copy, "w");
    }
    return std::freopen(path, "w", stderr) != nullptr;
}

void logToStandardOutput() { logStream = stdout; }

void logLine(const char* format, ...) {
    va_list arguments;
    va_start(arguments, format);
    writeLine(logOut(), format, arguments);
    va_end(arguments);
}

void logFatal(const char* format, ...) {
    va_list arguments;
    va_start(arguments, format);
    if (originalStandardError) {
        va_list again;
        va_copy(again, arguments);
        writeLine(originalStandardError, format, again);
        va_end(again);
    }
    writeLine(logOut(), format, arguments);
    va_end(arguments);
}

void logLineBytes(std::FILE* out, const char* prefix, const char* text, size_t length) {
    std::fputs(prefix, out);
    if (length > 0) std::fwrite(text, 1, length, out);
    endLine(out);
}
