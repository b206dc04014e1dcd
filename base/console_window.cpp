// The console window's mode and lifetime on Windows; nothing to do on other systems.
#include "base/console_window.h"

#if defined(_WIN32)
#include <conio.h>
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
    logLine("Press a key to close this window.");
    (void)_getch();
}
#else
void keepConsoleFromBlocking() {}
void holdOwnConsoleUntilKey() {}
#endif
