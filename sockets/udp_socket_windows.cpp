// The UDP socket on WinSock 2: ioctlsocket FIONBIO for non-blocking, WSAEWOULDBLOCK as the
// nothing-waiting case, WSAEMSGSIZE for a datagram longer than the buffer (WinSock drops its tail).
#include <winsock2.h>
#include <ws2tcpip.h>

#include <cstdio>
#include <cstring>

#include "sockets/udp_socket.h"

namespace {

sockaddr_in toSockaddr(const PeerAddress& address) {
    sockaddr_in out = {};
    out.sin_family = AF_INET;
    out.sin_addr.s_addr = htonl(address.ip);
    out.sin_port = htons(address.port);
    return out;
}

PeerAddress fromSockaddr(const sockaddr_in& address) {
    return PeerAddress{ntohl(address.sin_addr.s_addr), ntohs(address.sin_port)};
}

SOCKET native(SocketHandle socket) { return SOCKET(socket); }

}  // namespace

bool resolveUdpAddress(const char* host, const char* port, PeerAddress& out) {
    addrinfo hints = {};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_DGRAM;
    addrinfo* list = nullptr;
    if (getaddrinfo(host, port, &hints, &list) != 0 || !list) return false;
    bool found = list->ai_family == AF_INET && list->ai_addrlen >= sizeof(sockaddr_in);
    if (found) {
        sockaddr_in address;
        std::memcpy(&address, list->ai_addr, sizeof address);
        out = fromSockaddr(address);
    }
    freeaddrinfo(list);
    return found;
}

SocketHandle openUdpSocket() {
    SOCKET handle = socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
    if (handle == INVALID_SOCKET) return NoSocket;
    u_long nonBlocking = 1;
    ioctlsocket(handle, FIONBIO, &nonBlocking);
    return SocketHandle(handle);
}

void closeUdpSocket(SocketHandle socket) { closesocket(native(socket)); }

bool connectUdpSocket(SocketHandle socket, const PeerAddress& peer) {
    sockaddr_in address = toSockaddr(peer);
    return connect(native(socket), reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
}

bool bindUdpSocket(SocketHandle socket, const PeerAddress& local) {
    sockaddr_in address = toSockaddr(local);
    return bind(native(socket), reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
}

bool setUdpReceiveBuffer(SocketHandle socket, int bytes) {
    return setsockopt(native(socket), SOL_SOCKET, SO_RCVBUF, reinterpret_cast<const char*>(&bytes), sizeof bytes) == 0;
}

bool udpSocketLocalAddress(SocketHandle socket, PeerAddress& out) {
    sockaddr_in address = {};
    int length = sizeof address;
    if (getsockname(native(socket), reinterpret_cast<sockaddr*>(&address), &length) != 0) return false;
    out = fromSockaddr(address);
    return true;
}

bool udpSocketPeerAddress(SocketHandle socket, PeerAddress& out) {
    sockaddr_in address = {};
    int length = sizeof address;
    if (getpeername(native(socket), reinterpret_cast<sockaddr*>(&address), &length) != 0) return false;
    out = fromSockaddr(address);
    return true;
}

ReceiveResult receiveDatagram(SocketHandle socket, uint8_t* buffer, size_t capacity, size_t& length,
                              PeerAddress* from) {
    sockaddr_in sender = {};
    int senderLength = sizeof sender;
    int received = recvfrom(native(socket), reinterpret_cast<char*>(buffer), int(capacity), 0,
                            reinterpret_cast<sockaddr*>(&sender), &senderLength);
    if (received < 0) {
        int error = WSAGetLastError();
        if (error == WSAEWOULDBLOCK) return ReceiveResult::NothingWaiting;
        if (error == WSAEMSGSIZE) return ReceiveResult::TooLong;
        return ReceiveResult::Failed;
    }
    length = size_t(received);
    if (from) *from = fromSockaddr(sender);
    return ReceiveResult::Datagram;
}

void sendDatagram(SocketHandle socket, const uint8_t* data, size_t length) {
    (void)send(native(socket), reinterpret_cast<const char*>(data), int(length), 0);
}

void sendDatagramTo(SocketHandle socket, const uint8_t* data, size_t length, const PeerAddress& to) {
    sockaddr_in address = toSockaddr(to);
    (void)sendto(native(socket), reinterpret_cast<const char*>(data), int(length), 0,
                 reinterpret_cast<const sockaddr*>(&address), sizeof address);
}

bool waitForDatagram(SocketHandle socket, int timeoutMs) {
    fd_set readable;
    FD_ZERO(&readable);
    FD_SET(native(socket), &readable);
    timeval timeout = {timeoutMs / 1000, (timeoutMs % 1000) * 1000};
    return select(0, &readable, nullptr, nullptr, &timeout) > 0;
}

void formatPeerAddress(const PeerAddress& address, char* out, size_t capacity) {
    std::snprintf(out, capacity, "%u.%u.%u.%u:%u", address.ip >> 24, (address.ip >> 16) & 255, (address.ip >> 8) & 255,
                  address.ip & 255, unsigned(address.port));
}
