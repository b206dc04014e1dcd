// Start-up's clock: milliseconds since the process was launched and the moment each start-up step
// ended, so the first-frame line in the log shows where start-up time goes. Main thread only.
#pragma once
#include <cstddef>
#include <cstdint>

constexpr int StartupStepCapacity = 16;

// Starts the clock. A launcher that measures start-up (the bench) passes its own launch moment on
// the steady clock, in nanoseconds, in VZ_LAUNCH_MONOTONIC_NS, so the figure includes loading the
// program and its libraries; without it the clock starts here.
void startStartupClock();

uint64_t msSinceLaunch();

// Notes that the named step ended now; the name must outlive the process (a literal). Steps past
// the capacity are dropped.
void markStartupStep(const char* name);

// "window 62, instance 4, ...": each step's own duration, in the order marked. Writes at most
// capacity bytes, always terminated.
void formatStartupSteps(char* out, size_t capacity);
