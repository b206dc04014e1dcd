// The addresses a friend types into "server.txt" to reach this server, which it prints at start: the
// machine's own IPv4 addresses with the port, loopback last. The sockets library lists the addresses;
// the choice and order are here, so a test reaches them without a network.
#pragma once
#include <cstdint>

#include "protocol/peer_address.h"

constexpr int JoinAddressCapacity = 16;

// Each of machineAddresses (host byte order) once, with port, the ones outside 127.0.0.0/8 first in
// the order given; when the server listens on one address (listenAddress not 0), that one alone.
// 0.0.0.0 is nobody's address and is left out. Returns how many were written, at most capacity.
int addressesToJoin(const uint32_t* machineAddresses, int count, uint32_t listenAddress, uint16_t port,
                    PeerAddress* out, int capacity);
