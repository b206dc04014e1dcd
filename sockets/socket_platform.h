// The little that differs between WinSock 2 and POSIX sockets for the calls both platforms share:
// the headers, the native handle, the length type, and the byte pointers WinSock wants as char.
// Only the sockets library's own files include this.
#pragma once
#if defined(_WIN32)
#include <winsock2.h>
#include <ws2tcpip.h>

using NativeSocket = SOCKET;
using AddressLength = int;
using DataLength = int;
using SendBytes = const char*;
using OptionBytes = const char*;
#else
#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>

using NativeSocket = int;
using AddressLength = socklen_t;
using DataLength = size_t;
using SendBytes = const void*;
using OptionBytes = const void*;
#endif

#include "sockets/udp_socket.h"

inline NativeSocket nativeSocket(SocketHandle socket) { return NativeSocket(socket); }

inline sockaddr_in toSockaddr(const PeerAddress& address) {
    sockaddr_in out = {};
    out.sin_family = AF_INET;
    out.sin_addr.s_addr = htonl(address.ip);
    out.sin_port = htons(address.port);
    return out;
}

inline PeerAddress fromSockaddr(const sockaddr_in& address) {
    return PeerAddress{ntohl(address.sin_addr.s_addr), ntohs(address.sin_port)};
}
