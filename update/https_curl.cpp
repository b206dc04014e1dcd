// HTTPS through libcurl: its own defaults for certificates, redirects (not followed) and time-outs,
// and the proxy named by the usual environment variables, as on any Linux desktop. libcurl and the
// thirty libraries it pulls in are loaded by the update check's own thread on first use, not at
// process start, where loading them would delay the first frame.
#include <curl/curl.h>
#include <dlfcn.h>

#include <cstring>
#include <string>

#include "base/log.h"
#include "update/https_get.h"

namespace {

// The libcurl entry points used here; filled once by the first httpsGet. Lives for the process.
struct Curl {
    bool loaded;
    CURLcode (*globalInit)(long);
    CURL* (*easyInit)();
    CURLcode (*easySetopt)(CURL*, CURLoption, ...);
    CURLcode (*easyPerform)(CURL*);
    CURLcode (*easyGetinfo)(CURL*, CURLINFO, ...);
    void (*easyCleanup)(CURL*);
};
Curl curl;

template <typename Function>
bool resolve(void* library, const char* name, Function& out) {
    out = reinterpret_cast<Function>(dlsym(library, name));
    return out != nullptr;
}

bool loadCurl() {
    if (curl.loaded) return true;
    void* library = dlopen("libcurl.so.4", RTLD_NOW | RTLD_LOCAL);
    if (!library) {
        logLine("update check: libcurl could not be loaded: %s", dlerror());
        return false;
    }
    curl.loaded = resolve(library, "curl_global_init", curl.globalInit) &&
                  resolve(library, "curl_easy_init", curl.easyInit) &&
                  resolve(library, "curl_easy_setopt", curl.easySetopt) &&
                  resolve(library, "curl_easy_perform", curl.easyPerform) &&
                  resolve(library, "curl_easy_getinfo", curl.easyGetinfo) &&
                  resolve(library, "curl_easy_cleanup", curl.easyCleanup);
    if (!curl.loaded) logLine("update check: libcurl lacks %s", dlerror());
    return curl.loaded;
}

struct BodyPrefix {
    char* bytes;
    size_t length;
};

// Keeps the first bytes and then stops the transfer: a server that streams without end costs
// nothing more.
size_t keepPrefix(char* data, size_t size, size_t count, void* context) {
    auto* prefix = static_cast<BodyPrefix*>(context);
    size_t incoming = size * count;
    size_t room = HttpsBodyBytes - prefix->length;
    size_t taken = incoming < room ? incoming : room;
    std::memcpy(prefix->bytes + prefix->length, data, taken);
    prefix->length += taken;
    return prefix->length < HttpsBodyBytes ? incoming : 0;
}

}  // namespace

bool httpsGet(const HttpsTarget& target, HttpsAnswer& answer) {
    std::memset(&answer, 0, sizeof(answer));
    if (!loadCurl() || curl.globalInit(CURL_GLOBAL_DEFAULT) != CURLE_OK) return false;
    CURL* handle = curl.easyInit();
    if (!handle) return false;

    std::string url = std::string("https://") + target.host + ":" + std::to_string(target.port) + target.path;
    BodyPrefix prefix = {answer.body, 0};
    curl.easySetopt(handle, CURLOPT_URL, url.c_str());
    curl.easySetopt(handle, CURLOPT_HTTPGET, 1L);
    curl.easySetopt(handle, CURLOPT_USERAGENT, "VornhalZanthery");
    curl.easySetopt(handle, CURLOPT_PROTOCOLS_STR, "https");
    curl.easySetopt(handle, CURLOPT_NOSIGNAL, 1L);  // a background thread must not take signals
    curl.easySetopt(handle, CURLOPT_WRITEFUNCTION, keepPrefix);
    curl.easySetopt(handle, CURLOPT_WRITEDATA, &prefix);
    if (target.certificateAuthorities) curl.easySetopt(handle, CURLOPT_CAINFO, target.certificateAuthorities);

    CURLcode result = curl.easyPerform(handle);
    long status = 0;
    curl.easyGetinfo(handle, CURLINFO_RESPONSE_CODE, &status);
    curl.easyCleanup(handle);
    answer.status = status;
    answer.body[prefix.length] = '\0';
    // Stopping after the first bytes ends the transfer with a write error; the answer is complete.
    return result == CURLE_OK || (result == CURLE_WRITE_ERROR && status != 0);
}
