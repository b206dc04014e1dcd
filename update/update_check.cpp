// The update check's thread. The HTTP calls block only this thread; the main thread never waits for
// it, and a process that quits while it is still waiting on the network ends without tearing down
// the TLS library the thread is inside.
#include "update/update_check.h"

#include <SDL3/SDL.h>

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "protocol/address.h"
#include "protocol/release_number.h"

#ifndef VZ_MAKER_HOST
#define VZ_MAKER_HOST "vornhalzanthery.invalid"
#endif
// Only test builds name a certificate authority of their own; the product trusts the platform's.
#ifndef VZ_MAKER_CA_FILE
#define VZ_MAKER_CA_FILE ""
#endif

std::atomic<bool> updateAvailable{false};
const char* const MakerWebHost = VZ_MAKER_HOST;
const char* const ReleasePageUrl = "https://" VZ_MAKER_HOST "/vornhalzanthery.html";

namespace {

bool equalIgnoringCase(const char* a, const char* b, size_t length) {
    for (size_t i = 0; i < length; ++i) {
        if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i]))) return false;
    }
    return true;
}

// Set before the thread starts and cleared as its last act; lives for the process.
std::atomic<bool> checkInFlight{false};
HttpsTarget threadTarget;

int updateCheckThread(void*) {
    if (checkForUpdate(threadTarget)) updateAvailable.store(true, std::memory_order_seq_cst);
    checkInFlight.store(false);
    return 0;
}

}  // namespace

HttpsTarget makerVersionTarget() {
    // The host may carry ":port" (a test server on loopback); HTTPS's own port otherwise. Split once,
    // for the life of the process.
    static SplitAddress split;
    static const char* const authorities = VZ_MAKER_CA_FILE;
    if (!split.host[0] && !splitAddress(MakerWebHost, "443", split)) split = {};
    char* end = nullptr;
    unsigned long port = std::strtoul(split.port, &end, 10);
    if (end == split.port || *end != '\0' || port == 0 || port > 65535) port = 443;
    return {split.host, static_cast<unsigned short>(port), "/games/vornhalzanthery/version.txt",
            authorities[0] ? authorities : nullptr};
}

bool isNeverResolvingHost(const char* host) {
    static const char suffix[] = ".invalid";
    size_t length = std::strlen(host), suffixLength = sizeof(suffix) - 1;
    if (length > 0 && host[length - 1] == '.') --length;  // a fully qualified name's final dot
    if (length == suffixLength - 1) return equalIgnoringCase(host, suffix + 1, length);
    return length > suffixLength && equalIgnoringCase(host + length - suffixLength, suffix, suffixLength);
}

bool checkForUpdate(const HttpsTarget& target) {
    // A reserved name never resolves, so asking the name server about it would only tell the
    // network that this client exists.
    if (!target.host || isNeverResolvingHost(target.host)) return false;
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
