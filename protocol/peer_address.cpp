// The text of a peer address.
#include "protocol/peer_address.h"

#include <cstdio>

void formatPeerAddress(const PeerAddress& address, char* out, size_t capacity) {
    std::snprintf(out, capacity, "%u.%u.%u.%u:%u", address.ip >> 24, (address.ip >> 16) & 255, (address.ip >> 8) & 255,
                  address.ip & 255, unsigned(address.port));
}
