// The one clock of every program: the standard steady clock (CLOCK_MONOTONIC on Linux, the
// performance counter on Windows), which never goes back.
#pragma once
#include <cstdint>

uint64_t steadyNanoseconds();

// Milliseconds on the same clock.
uint64_t monotonicMs();
