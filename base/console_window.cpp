// The console window's mode and lifetime on Windows; nothing to do on other systems.
#include "base/console_window.h"

#if defined(_WIN32)
#include <cstdlib>
#include <windows.h>

#include "base/log.h"

namespace {

// The console's input mode as the program found it, put back at exit; lives for the process.
DWORD savedInputMode;

void restoreInputMode() { SetConsoleMode(GetStdHandle(STD_INPUT_HANDLE), savedInputMode); }

}  // namespace

void keepConsoleFromBlocking() {
    HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
    DWORD mode = 0;
    if (input == INVALID_HANDLE_VALUE || !input || !GetConsoleMode(input, &mode)) return;  // no console
    savedInputMode = mode;
    // QuickEdit is only switched off with ENABLE_EXTENDED_FLAGS set in the same call.
    if (SetConsoleMode(input, (mode | ENABLE_EXTENDED_FLAGS) & ~DWORD(ENABLE_QUICK_EDIT_MODE)))
        std::atexit(restoreInputMode);
}

void holdOwnConsoleUntilKey() {
    DWORD processes[2];
    if (GetConsoleProcessList(processes, 2) != 1) return;  // a prompt's console, or none
    // The console's own input, whatever standard input was given; a key's press ends the wait, and
    // a console that cannot be read ends it at once.
    HANDLE input = CreateFileA("CONIN$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                               OPEN_EXISTING, 0, nullptr);
    if (input == INVALID_HANDLE_VALUE) return;
    logLine("Press a key to close this window.");
    INPUT_RECORD record;
    DWORD read = 0;
    while (ReadConsoleInputA(input, &record, 1, &read) && read == 1)
        if (record.EventType == KEY_EVENT && record.Event.KeyEvent.bKeyDown) break;
    CloseHandle(input);
}
#else
void keepConsoleFromBlocking() {}
void holdOwnConsoleUntilKey() {}
#endif
