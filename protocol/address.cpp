// Addresses: cleaning checks no syntax; splitting only cuts at the last colon; the resolver judges the rest.
#include "protocol/address.h"

#include <cstring>

#include "protocol/messages.h"

std::string cleanServerAddress(const void* bytes, size_t size) {
    std::string address;
    const unsigned char* at = static_cast<const unsigned char*>(bytes);
    if (!at) return address;
    for (size_t i = 0; i < size; ++i) {
        if (at[i] >= 0x21 && at[i] <= 0x7E) address.push_back(char(at[i]));
    }
    return address;
}

bool splitAddress(const char* address, const char* defaultPort, SplitAddress& out) {
    const char* colon = std::strrchr(address, ':');
    size_t hostLength = colon ? size_t(colon - address) : std::strlen(address);
    const char* port = colon ? colon + 1 : defaultPort;
    size_t portLength = std::strlen(port);
    if (hostLength >= AddressHostCapacity || portLength >= AddressPortCapacity) return false;
    std::memcpy(out.host, address, hostLength);
    out.host[hostLength] = '\0';
    std::memcpy(out.port, port, portLength + 1);
    return true;
}

bool splitPresenceAddress(const char* address, SplitAddress& out) {
    return splitAddress(address, DefaultPresencePortText, out);
}

bool isNumericIpv4Host(const char* host) {
    for (int part = 0; part < 4; ++part) {
        if (part > 0 && *host++ != '.') return false;
        int digits = 0, value = 0;
        for (; *host >= '0' && *host <= '9' && digits < 4; ++host, ++digits) value = value * 10 + (*host - '0');
        // A leading zero reads as octal to some resolvers, and "08" as no number at all.
        if (digits == 0 || digits > 3 || value > 255 || (digits > 1 && host[-digits] == '0')) return false;
    }
    return *host == '\0';
}
