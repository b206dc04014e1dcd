// A small non-blocking IPv4 UDP socket over the platform's sockets (udp_socket_posix.cpp,
// udp_socket_windows.cpp). The handle and address types are plain values from protocol/, so the
// presence records that hold them stay free of platform headers.
#pragma once
#include <cstddef>
#include <cstdint>

#include "protocol/peer_address.h"

// Name resolution for IPv4 datagrams; only the first address found is kept. False when the name does
// not resolve or resolves to nothing.
bool resolveUdpAddress(const char* host, const char* port, PeerAddress& out);

// A new IPv4 UDP socket, already non-blocking; NoSocket on failure.
SocketHandle openUdpSocket();
void closeUdpSocket(SocketHandle socket);

// Fixes the peer that send and receive talk to.
bool connectUdpSocket(SocketHandle socket, const PeerAddress& peer);
// Binds to a local address (0 for all interfaces) and port (0 for any free one).
bool bindUdpSocket(SocketHandle socket, const PeerAddress& local);
// Asks for a receive buffer of the given size, so bursts wait in the system instead of being
// dropped; the system may grant less (Linux caps it at net.core.rmem_max). False when refused.
bool setUdpReceiveBuffer(SocketHandle socket, int bytes);
// The local address the socket is bound to.
bool udpSocketLocalAddress(SocketHandle socket, PeerAddress& out);
// The peer a connected socket talks to.
bool udpSocketPeerAddress(SocketHandle socket, PeerAddress& out);

enum class ReceiveResult {
    Datagram,        // one datagram of length bytes, length 0 included
    NothingWaiting,  // the would-block case: no datagram is queued
    TooLong,         // a datagram longer than the buffer arrived and was dropped unread
    Failed,          // any other error, an unreachable port reported by the system among them
};

// One datagram into buffer; from, when given, receives the sender's address.
ReceiveResult receiveDatagram(SocketHandle socket, uint8_t* buffer, size_t capacity, size_t& length,
                              PeerAddress* from = nullptr);

// Sends one datagram to the connected peer, or to the given one; failures go unnoticed by design.
void sendDatagram(SocketHandle socket, const uint8_t* data, size_t length);
void sendDatagramTo(SocketHandle socket, const uint8_t* data, size_t length, const PeerAddress& to);

// Waits up to timeoutMs for a datagram to arrive; true when one is waiting.
bool waitForDatagram(SocketHandle socket, int timeoutMs);
