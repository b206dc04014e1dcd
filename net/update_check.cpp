// The update check's thread. The HTTP calls block only this thread; the main thread never waits for
// it, and a process that quits while it is still waiting on the network ends without tearing down
// the TLS library the thread is inside.
#include "net/update_check.h"

#include <SDL3/SDL.h>

#include <cstdio>
#include <cstdlib>

#include "net/release_number.h"

#ifndef VZ_MAKER_HOST
#define VZ_MAKER_HOST "vornhalzanthery.invalid"
#endif

std::atomic<bool> updateAvailable{false};
const char* const MakerWebHost = VZ_MAKER_HOST;
const char* const ReleasePageUrl = "https://" VZ_MAKER_HOST "/vornhalzanthery.html";

namespace {

// Set before the thread starts and cleared as its last act; lives for the process.
std::atomic<bool> checkInFlight{false};
HttpsTarget threadTarget;

int updateCheckThread(void*) {
    if (checkForUpdate(threadTarget)) updateAvailable.store(true, std::memory_order_seq_cst);
    checkInFlight.store(false);
    return 0;
}

}  // namespace

HttpsTarget makerVersionTarget() { return {MakerWebHost, 443, "/games/vornhalzanthery/version.txt", nullptr}; }

bool checkForUpdate(const HttpsTarget& target) {
    HttpsAnswer answer;
    if (!httpsGet(target, answer)) return false;
    return isNewerRelease(answer.status, answer.body);
}

bool startUpdateCheck(const HttpsTarget& target) {
    if (checkInFlight.load()) return false;
    threadTarget = target;
    checkInFlight.store(true);
    SDL_Thread* thread = SDL_CreateThread(updateCheckThread, "update check", nullptr);
    if (!thread) {
        checkInFlight.store(false);
        return false;
    }
    SDL_DetachThread(thread);
    return true;
}

bool updateCheckRunning() { return checkInFlight.load(); }

void endProcessIfUpdateCheckRunning(int exitCode) {
    if (!checkInFlight.load()) return;
    std::fflush(nullptr);
    std::_Exit(exitCode);
}
