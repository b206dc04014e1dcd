// HTTPS through libcurl: its own defaults for certificates, redirects (not followed) and time-outs,
// and the proxy named by the usual environment variables, as on any Linux desktop.
#include <curl/curl.h>

#include <cstring>
#include <string>

#include "net/https_get.h"

namespace {

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
    if (curl_global_init(CURL_GLOBAL_DEFAULT) != CURLE_OK) return false;
    CURL* curl = curl_easy_init();
    if (!curl) return false;

    std::string url = std::string("https://") + target.host + ":" + std::to_string(target.port) + target.path;
    BodyPrefix prefix = {answer.body, 0};
    curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
    curl_easy_setopt(curl, CURLOPT_HTTPGET, 1L);
    curl_easy_setopt(curl, CURLOPT_USERAGENT, "VornhalZanthery");
    curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "https");
    curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);  // a background thread must not take signals
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, keepPrefix);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, &prefix);
    if (target.certificateAuthorities) curl_easy_setopt(curl, CURLOPT_CAINFO, target.certificateAuthorities);

    CURLcode result = curl_easy_perform(curl);
    long status = 0;
    curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &status);
    curl_easy_cleanup(curl);
    answer.status = status;
    answer.body[prefix.length] = '\0';
    // Stopping after the first bytes ends the transfer with a write error; the answer is complete.
    return result == CURLE_OK || (result == CURLE_WRITE_ERROR && status != 0);
}
