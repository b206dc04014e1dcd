// The start-up clock, on the one steady clock.
#include "base/startup_clock.h"

#include <cstdio>
#include <cstdlib>

#include "base/clock.h"

namespace {

struct StartupSteps {
    uint64_t launchNs;
    int count;
    const char* names[StartupStepCapacity];
    uint64_t endMs[StartupStepCapacity];
};

StartupSteps steps;  // filled during start-up; lives for the process

}  // namespace

void startStartupClock() {
    uint64_t now = steadyNanoseconds();
    steps = {};
    steps.launchNs = now;
    const char* given = std::getenv("VZ_LAUNCH_MONOTONIC_NS");
    if (!given) return;
    char* end = nullptr;
    unsigned long long launch = std::strtoull(given, &end, 10);
    // Only a moment in the last minute counts: anything else is a stale or mistaken variable.
    if (end != given && *end == '\0' && launch <= now && now - launch < 60'000'000'000ull) {
        steps.launchNs = launch;
        markStartupStep("loading");  // the program and its libraries, before main
    }
}

uint64_t msSinceLaunch() { return (steadyNanoseconds() - steps.launchNs) / 1000000; }

void markStartupStep(const char* name) {
    if (steps.count == StartupStepCapacity) return;
    steps.names[steps.count] = name;
    steps.endMs[steps.count] = msSinceLaunch();
    ++steps.count;
}

void formatStartupSteps(char* out, size_t capacity) {
    if (capacity == 0) return;
    out[0] = '\0';
    size_t used = 0;
    uint64_t previous = 0;
    for (int i = 0; i < steps.count && used < capacity; ++i) {
        int written = std::snprintf(out + used, capacity - used, "%s%s %llu", i ? ", " : "", steps.names[i],
                                    (unsigned long long)(steps.endMs[i] - previous));
        if (written < 0) break;
        used += size_t(written);
        previous = steps.endMs[i];
    }
}
