// The background check for a newer release: once per start, one HTTPS GET of "version.txt" on the
// maker's web host, on a detached thread of its own. The only thing it shares with the main thread
// is updateAvailable, which goes from false to true at most once.
#pragma once
#include <atomic>

#include "update/https_get.h"

extern std::atomic<bool> updateAvailable;

// The maker's web host, set when the client is built (a name under .invalid by default, which never
// resolves, so an unpublished build never asks anyone).
extern const char* const MakerWebHost;

// "https://" + the maker's host + "/vornhalzanthery.html": the page the "Update" button opens.
extern const char* const ReleasePageUrl;

// version.txt on the maker's host, port 443, with the platform's own certificate authorities.
HttpsTarget makerVersionTarget();

// True for a name under the reserved top-level domain .invalid, which never resolves: the check then
// asks nobody, not even the name server.
bool isNeverResolvingHost(const char* host);

// One GET of target and the comparison: true when a release newer than this build is published.
// Every failure is simply false.
bool checkForUpdate(const HttpsTarget& target);

// Starts the check against target on a detached thread; it stores true into updateAvailable when a
// newer release exists. False when no thread could be started (the client carries on without).
bool startUpdateCheck(const HttpsTarget& target);

// True while a started check has not finished: the process must then end without running library
// teardown under the thread's feet (see endProcessIfUpdateCheckRunning).
bool updateCheckRunning();

// Ends the process with exitCode at once when a check is still blocked on the network, after
// flushing every stream; returns when no check is running.
void endProcessIfUpdateCheckRunning(int exitCode);
