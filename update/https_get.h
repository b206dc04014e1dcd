// One synchronous HTTPS GET, as the update check needs it: only the status code and the first 15
// bytes of the body are kept. One implementation per platform: libcurl on Linux, WinHTTP on Windows.
#pragma once
#include <cstddef>

struct HttpsTarget {
    const char* host;
    unsigned short port;
    const char* path;
    const char* certificateAuthorities;  // a PEM file to trust instead of the platform's, or null
};

constexpr size_t HttpsBodyBytes = 15;

struct HttpsAnswer {
    long status;                      // 0 when none was read
    char body[HttpsBodyBytes + 1];    // the first bytes of the body, always NUL-terminated
};

// Sends the GET with the user agent "VornhalZanthery" through the platform's proxy settings, and
// reads the status and at most 15 body bytes. False when no response arrived at all.
bool httpsGet(const HttpsTarget& target, HttpsAnswer& answer);
