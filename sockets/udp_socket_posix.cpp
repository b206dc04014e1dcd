// The UDP socket on POSIX: O_NONBLOCK, EAGAIN/EWOULDBLOCK as the nothing-waiting case, and recvmsg's
// MSG_TRUNC flag to tell an oversized datagram, which is dropped rather than used cut short.
#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/uio.h>
#include <unistd.h>

#include "sockets/socket_platform.h"

SocketHandle openUdpSocket() {
    int handle = socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
    if (handle < 0) return NoSocket;
    int flags = fcntl(handle, F_GETFL, 0);
    fcntl(handle, F_SETFL, flags | O_NONBLOCK);
    return handle;
}

void closeUdpSocket(SocketHandle socket) { close(int(socket)); }

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

bool waitForDatagram(SocketHandle socket, int timeoutMs) {
    pollfd entry = {int(socket), POLLIN, 0};
    return poll(&entry, 1, timeoutMs) > 0;
}
