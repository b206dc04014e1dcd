// The steady clock, read through std::chrono so both platforms share one definition.
#include "base/clock.h"

#include <chrono>

uint64_t steadyNanoseconds() {
    using namespace std::chrono;
    return uint64_t(duration_cast<nanoseconds>(steady_clock::now().time_since_epoch()).count());
}

uint64_t monotonicMs() { return steadyNanoseconds() / 1000000; }
