// What the console programs (the presence server and the bots) share: a stop request from Ctrl+C,
// SIGINT or SIGTERM (a console close on Windows) that their loops poll, and a millisecond clock.
#pragma once
#include <cstdint>

// Installs the handlers; from then on a stop request sets the flag stopRequested reads.
void installStopHandlers();
bool stopRequested();

// Milliseconds on a clock that never goes back.
uint64_t monotonicMs();
