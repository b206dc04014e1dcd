// Release number parsing, atoi-style but defined for any input.
#include "protocol/release_number.h"

#include <climits>

int parseReleaseNumber(const char* text) {
    if (!text) return 0;
    const char* at = text;
    while (*at == ' ' || (*at >= '\t' && *at <= '\r')) ++at;
    bool negative = *at == '-';
    if (*at == '-' || *at == '+') ++at;
    long long value = 0;
    for (; *at >= '0' && *at <= '9'; ++at) {
        value = value * 10 + (*at - '0');
        if (value > INT_MAX) return negative ? INT_MIN : INT_MAX;
    }
    return int(negative ? -value : value);
}

bool isNewerRelease(long status, const char* body) {
    return status == 200 && parseReleaseNumber(body) > BuiltInReleaseNumber;
}
