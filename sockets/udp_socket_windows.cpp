// The UDP socket on WinSock 2: ioctlsocket FIONBIO for non-blocking, WSAEWOULDBLOCK as the
// nothing-waiting case, WSAEMSGSIZE for a datagram longer than the buffer (WinSock drops its tail).
#include "sockets/socket_platform.h"

SocketHandle openUdpSocket() {
    SOCKET handle = socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
    if (handle == INVALID_SOCKET) return NoSocket;
    u_long nonBlocking = 1;
    ioctlsocket(handle, FIONBIO, &nonBlocking);
    return SocketHandle(handle);
}

void closeUdpSocket(SocketHandle socket) { closesocket(nativeSocket(socket)); }

ReceiveResult receiveDatagram(SocketHandle socket, uint8_t* buffer, size_t capacity, size_t& length,
                              PeerAddress* from) {
    sockaddr_in sender = {};
    int senderLength = sizeof sender;
    int received = recvfrom(nativeSocket(socket), reinterpret_cast<char*>(buffer), int(capacity), 0,
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

bool waitForDatagram(SocketHandle socket, int timeoutMs) {
    fd_set readable;
    FD_ZERO(&readable);
    FD_SET(nativeSocket(socket), &readable);
    timeval timeout = {timeoutMs / 1000, (timeoutMs % 1000) * 1000};
    return select(0, &readable, nullptr, nullptr, &timeout) > 0;
}
