// The machine's IPv4 addresses through getifaddrs.
#include "sockets/local_addresses.h"

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <netinet/in.h>

int listLocalIpv4Addresses(uint32_t* out, int capacity) {
    ifaddrs* list = nullptr;
    if (getifaddrs(&list) != 0) return 0;
    int written = 0;
    for (ifaddrs* at = list; at && written < capacity; at = at->ifa_next) {
        if (!at->ifa_addr || at->ifa_addr->sa_family != AF_INET || !(at->ifa_flags & IFF_UP)) continue;
        out[written++] = ntohl(reinterpret_cast<const sockaddr_in*>(at->ifa_addr)->sin_addr.s_addr);
    }
    freeifaddrs(list);
    return written;
}
