// Which of the machine's addresses a friend can join, in the order they are printed.
#include "server/join_addresses.h"

#include <initializer_list>

namespace {

bool isLoopback(uint32_t ip) { return ip >> 24 == 127; }

bool alreadyListed(const PeerAddress* out, int written, uint32_t ip) {
    for (int i = 0; i < written; ++i)
        if (out[i].ip == ip) return true;
    return false;
}

}  // namespace

int addressesToJoin(const uint32_t* machineAddresses, int count, uint32_t listenAddress, uint16_t port,
                    PeerAddress* out, int capacity) {
    if (listenAddress != 0) {
        if (capacity < 1) return 0;
        out[0] = PeerAddress{listenAddress, port};
        return 1;
    }
    int written = 0;
    for (bool loopbackPass : {false, true}) {
        for (int i = 0; i < count && written < capacity; ++i) {
            uint32_t ip = machineAddresses[i];
            if (ip == 0 || isLoopback(ip) != loopbackPass || alreadyListed(out, written, ip)) continue;
            out[written++] = PeerAddress{ip, port};
        }
    }
    return written;
}
