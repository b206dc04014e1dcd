// Log lines through standard error, and a duplicate of the original stream for fatal ones.
#include "base/log.h"

#include <cinttypes>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <sys/stat.h>

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

// Whether lines start with the date and time; lives for the process.
bool stampLines;

std::FILE* logOut() { return logStream ? logStream : stderr; }

void writeStamp(std::FILE* out) {
    std::time_t now = std::time(nullptr);
    std::tm local = {};
#if defined(_WIN32)
    localtime_s(&local, &now);
#else
    localtime_r(&now, &local);
#endif
    char stamp[32];
    if (std::strftime(stamp, sizeof stamp, "%Y-%m-%d %H:%M:%S ", &local) > 0) std::fputs(stamp, out);
}

// Every line ends here, so none can stay in a buffer when the process dies.
void endLine(std::FILE* out) {
    std::fputc('\n', out);
    std::fflush(out);
}

void writeLine(std::FILE* out, const char* format, va_list arguments) {
    if (stampLines) writeStamp(out);
    std::vfprintf(out, format, arguments);
    endLine(out);
}

}  // namespace

void previousLogPath(const char* path, char* out, size_t capacity) {
    const char* name = path;
    for (const char* at = path; *at; ++at)
        if (*at == '/' || *at == '\\') name = at + 1;
    const char* dot = std::strrchr(name, '.');
    int stem = int(dot && dot != name ? dot - path : std::strlen(path));
    std::snprintf(out, capacity, "%.*s.previous%s", stem, path, path + stem);
}

bool openLogFile(const char* path) {
    if (!originalStandardError) {
        int copy = duplicateDescriptor(fileDescriptor(stderr));
        if (copy >= 0) originalStandardError = openDescriptor(copy, "w");
    }
    // A player reporting a crash still has that run's log after starting again. Windows renames onto
    // no existing file, so the older one goes first.
    char previous[1024];
    previousLogPath(path, previous, sizeof previous);
    std::remove(previous);
    std::rename(path, previous);
    return std::freopen(path, "w", stderr) != nullptr;
}

void logToStandardOutput() { logStream = stdout; }

void stampLogLines(bool stamped) { stampLines = stamped; }

bool journalReadsStream(const char* journalStream, uint64_t device, uint64_t inode) {
    if (!journalStream) return false;
    uint64_t namedDevice = 0, namedInode = 0;
    int used = 0;
    if (std::sscanf(journalStream, "%" SCNu64 ":%" SCNu64 "%n", &namedDevice, &namedInode, &used) != 2 ||
        journalStream[used] != '\0')
        return false;
    return namedDevice == device && namedInode == inode;
}

bool standardOutputGoesToJournal() {
#if defined(_WIN32)
    return false;
#else
    struct stat status = {};
    if (fstat(fileDescriptor(stdout), &status) != 0) return false;
    return journalReadsStream(std::getenv("JOURNAL_STREAM"), uint64_t(status.st_dev), uint64_t(status.st_ino));
#endif
}

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
