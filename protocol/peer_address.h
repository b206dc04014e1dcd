// A peer's IPv4 address and a socket handle as plain values: the presence records and the server's
// logic hold them without knowing any platform's socket types. The sockets library fills them.
#pragma once
#include <cstddef>
#include <cstdint>

// Wide enough for a WinSock SOCKET and a POSIX descriptor; -1 is both platforms' invalid handle.
using SocketHandle = intptr_t;
constexpr SocketHandle NoSocket = -1;

// An IPv4 address and port, both in host byte order.
struct PeerAddress {
    uint32_t ip;
    uint16_t port;
};

inline bool samePeer(const PeerAddress& a, const PeerAddress& b) { return a.ip == b.ip && a.port == b.port; }

// Dotted text of an IPv4 address and port, as a player types it into "server.txt" and as log lines
// show it: at least 22 bytes.
void formatPeerAddress(const PeerAddress& address, char* out, size_t capacity);
