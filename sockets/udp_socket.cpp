// The UDP socket's calls that read the same on WinSock 2 and POSIX sockets: resolving, connecting,
// binding, addresses and sending. Opening, receiving and waiting differ, in udp_socket_posix.cpp and
// udp_socket_windows.cpp.
#include <cstring>

#include "sockets/socket_platform.h"

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

bool connectUdpSocket(SocketHandle socket, const PeerAddress& peer) {
    sockaddr_in address = toSockaddr(peer);
    return connect(nativeSocket(socket), reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
}

bool bindUdpSocket(SocketHandle socket, const PeerAddress& local) {
    sockaddr_in address = toSockaddr(local);
    return bind(nativeSocket(socket), reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
}

bool setUdpReceiveBuffer(SocketHandle socket, int bytes) {
    return setsockopt(nativeSocket(socket), SOL_SOCKET, SO_RCVBUF, OptionBytes(&bytes), sizeof bytes) == 0;
}

bool udpSocketLocalAddress(SocketHandle socket, PeerAddress& out) {
    sockaddr_in address = {};
    AddressLength length = sizeof address;
    if (getsockname(nativeSocket(socket), reinterpret_cast<sockaddr*>(&address), &length) != 0) return false;
    out = fromSockaddr(address);
    return true;
}

bool udpSocketPeerAddress(SocketHandle socket, PeerAddress& out) {
    sockaddr_in address = {};
    AddressLength length = sizeof address;
    if (getpeername(nativeSocket(socket), reinterpret_cast<sockaddr*>(&address), &length) != 0) return false;
    out = fromSockaddr(address);
    return true;
}

void sendDatagram(SocketHandle socket, const uint8_t* data, size_t length) {
    (void)send(nativeSocket(socket), SendBytes(data), DataLength(length), 0);
}

void sendDatagramTo(SocketHandle socket, const uint8_t* data, size_t length, const PeerAddress& to) {
    sockaddr_in address = toSockaddr(to);
    (void)sendto(nativeSocket(socket), SendBytes(data), DataLength(length), 0,
                 reinterpret_cast<const sockaddr*>(&address), sizeof address);
}

