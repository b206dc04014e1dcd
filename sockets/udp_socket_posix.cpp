// The UDP socket on POSIX: O_NONBLOCK, EAGAIN/EWOULDBLOCK as the nothing-waiting case, and recvmsg's
// MSG_TRUNC flag to tell an oversized datagram, which is dropped rather than used cut short.
#include <arpa/inet.h>
#include <errno.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/uio.h>
#include <unistd.h>

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
    int handle = socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
    if (handle < 0) return NoSocket;
    int flags = fcntl(handle, F_GETFL, 0);
    fcntl(handle, F_SETFL, flags | O_NONBLOCK);
    return handle;
}

void closeUdpSocket(SocketHandle socket) { close(int(socket)); }

bool connectUdpSocket(SocketHandle socket, const PeerAddress& peer) {
    sockaddr_in address = toSockaddr(peer);
    return connect(int(socket), reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
}

bool bindUdpSocket(SocketHandle socket, const PeerAddress& local) {
    sockaddr_in address = toSockaddr(local);
    return bind(int(socket), reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
}

bool setUdpReceiveBuffer(SocketHandle socket, int bytes) {
    return setsockopt(int(socket), SOL_SOCKET, SO_RCVBUF, &bytes, sizeof bytes) == 0;
}

bool udpSocketLocalAddress(SocketHandle socket, PeerAddress& out) {
    sockaddr_in address = {};
    socklen_t length = sizeof address;
    if (getsockname(int(socket), reinterpret_cast<sockaddr*>(&address), &length) != 0) return false;
    out = fromSockaddr(address);
    return true;
}

bool udpSocketPeerAddress(SocketHandle socket, PeerAddress& out) {
    sockaddr_in address = {};
    socklen_t length = sizeof address;
    if (getpeername(int(socket), reinterpret_cast<sockaddr*>(&address), &length) != 0) return false;
    out = fromSockaddr(address);
    return true;
}

ReceiveResult receiveDatagram(SocketHandle socket, uint8_t* buffer, size_t capacity, size_t& length,
                              PeerAddress* from) {
    sockaddr_in sender = {};
    iovec part = {buffer, capacity};
    msghdr message = {};
    message.msg_name = &sender;
    message.msg_namelen = sizeof sender;
    message.msg_iov = &part;
    message.msg_iovlen = 1;
    ssize_t received = recvmsg(int(socket), &message, 0);
    if (received < 0) {
        if (errno == EAGAIN || errno == EWOULDBLOCK) return ReceiveResult::NothingWaiting;
        return ReceiveResult::Failed;
    }
    // The system marks a datagram that did not fit; its tail is gone, so none of it is used.
    if (message.msg_flags & MSG_TRUNC) return ReceiveResult::TooLong;
    length = size_t(received);
    if (from) *from = fromSockaddr(sender);
    return ReceiveResult::Datagram;
}

void sendDatagram(SocketHandle socket, const uint8_t* data, size_t length) {
    (void)send(int(socket), data, length, 0);
}

void sendDatagramTo(SocketHandle socket, const uint8_t* data, size_t length, const PeerAddress& to) {
    sockaddr_in address = toSockaddr(to);
    (void)sendto(int(socket), data, length, 0, reinterpret_cast<const sockaddr*>(&address), sizeof address);
}

bool waitForDatagram(SocketHandle socket, int timeoutMs) {
    pollfd entry = {int(socket), POLLIN, 0};
    return poll(&entry, 1, timeoutMs) > 0;
}

void formatPeerAddress(const PeerAddress& address, char* out, size_t capacity) {
    std::snprintf(out, capacity, "%u.%u.%u.%u:%u", address.ip >> 24, (address.ip >> 16) & 255, (address.ip >> 8) & 255,
                  address.ip & 255, unsigned(address.port));
}
