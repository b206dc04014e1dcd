// WinSock 2.2.
#include <winsock2.h>

#include "sockets/socket_layer.h"

bool networkStarted;

bool startSocketLayer() {
    WSADATA data;
    return WSAStartup(MAKEWORD(2, 2), &data) == 0;
}

void stopSocketLayer() { WSACleanup(); }
