// HTTPS through WinHTTP, synchronous, with the system's automatic proxy detection. Certificates are
// checked by Windows; a test's own authority file is not supported here.
#include <windows.h>
#include <winhttp.h>

#include <cstring>

#include "update/https_get.h"

namespace {

// The host name as UTF-16, or false when it does not fit.
bool widen(const char* text, wchar_t* out, int capacity) {
    return MultiByteToWideChar(CP_UTF8, 0, text, -1, out, capacity) > 0;
}

}  // namespace

bool httpsGet(const HttpsTarget& target, HttpsAnswer& answer) {
    std::memset(&answer, 0, sizeof(answer));
    wchar_t host[256], path[512];
    if (!widen(target.host, host, 256) || !widen(target.path, path, 512)) return false;

    bool answered = false;
    HINTERNET session = WinHttpOpen(L"VornhalZanthery", WINHTTP_ACCESS_TYPE_AUTOMATIC_PROXY, WINHTTP_NO_PROXY_NAME,
                                    WINHTTP_NO_PROXY_BYPASS, 0);
    if (!session) return false;
    HINTERNET connection = WinHttpConnect(session, host, INTERNET_PORT(target.port), 0);
    if (!connection) {
        WinHttpCloseHandle(session);
        return false;
    }
    HINTERNET request = WinHttpOpenRequest(connection, L"GET", path, nullptr, WINHTTP_NO_REFERER,
                                           WINHTTP_DEFAULT_ACCEPT_TYPES, WINHTTP_FLAG_SECURE);
    if (!request) {
        WinHttpCloseHandle(connection);
        WinHttpCloseHandle(session);
        return false;
    }
    if (WinHttpSendRequest(request, WINHTTP_NO_ADDITIONAL_HEADERS, 0, WINHTTP_NO_REQUEST_DATA, 0, 0, 0) &&
        WinHttpReceiveResponse(request, nullptr)) {
        answered = true;
        DWORD status = 0;
        DWORD statusSize = sizeof(status);
        WinHttpQueryHeaders(request, WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER, WINHTTP_HEADER_NAME_BY_INDEX,
                            &status, &statusSize, WINHTTP_NO_HEADER_INDEX);
        answer.status = long(status);
        if (status == 200) {
            // One read of at most 15 bytes into a zeroed buffer, so the text is always terminated.
            DWORD read = 0;
            if (!WinHttpReadData(request, answer.body, DWORD(HttpsBodyBytes), &read)) std::memset(answer.body, 0, sizeof(answer.body));
        }
    }
    WinHttpCloseHandle(request);
    WinHttpCloseHandle(connection);
    WinHttpCloseHandle(session);
    return answered;
}
