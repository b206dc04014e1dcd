// Stop handlers per platform: a signal on Linux, a console control event on Windows.
#include "base/stop_signals.h"

#include <csignal>

#if defined(_WIN32)
#include <windows.h>
#endif

namespace {

// Set from the signal or console handler, read by the program's loop; lives for the process.
volatile std::sig_atomic_t stopFlag = 0;

#if defined(_WIN32)
BOOL WINAPI onConsoleEvent(DWORD) {
    stopFlag = 1;
    // Windows ends the process when the handler returns from a close event: give the loop time to
    // say goodbye first.
    Sleep(200);
    return TRUE;
}
#else
void onStopSignal(int) { stopFlag = 1; }
#endif

}  // namespace

void installStopHandlers() {
#if defined(_WIN32)
    SetConsoleCtrlHandler(onConsoleEvent, TRUE);
#else
    std::signal(SIGINT, onStopSignal);
    std::signal(SIGTERM, onStopSignal);
#endif
}

bool stopRequested() { return stopFlag != 0; }
