// The presence client's socket side: connect, the per-frame receive and send, disconnect. The
// decisions are in presence_session.cpp.
#include "presence/presence_client.h"

#include "protocol/address.h"
#include "sockets/socket_layer.h"
#include "sockets/udp_socket.h"

PresenceClient presenceClient;
RemotePlayerTable remotePlayers;

bool connectPresenceClient(PresenceClient& client, RemotePlayerTable& table, const char* address, uint64_t nowMs) {
    if (!networkStarted) return false;
    SplitAddress split;
    PeerAddress server;
    if (!splitPresenceAddress(address, split) || !resolveUdpAddress(split.host, split.port, server)) return false;
    return connectPresenceClientTo(client, table, server, nowMs);
}

bool connectPresenceClientTo(PresenceClient& client, RemotePlayerTable& table, const PeerAddress& server,
                             uint64_t nowMs) {
    if (!networkStarted) return false;
    SocketHandle socket = openUdpSocket();
    if (socket == NoSocket) {
        resetPresenceClient(client, table);
        return false;
    }
    client.socket = socket;
    if (!connectUdpSocket(socket, server)) {
        disconnectPresenceClient(client, table);
        return false;
    }
    client.lastHeardMs = nowMs;
    client.lastHelloMs = 0;
    return true;
}

void pumpPresenceClient(PresenceClient& client, RemotePlayerTable& table, const PlayerState& pose, uint64_t nowMs) {
    if (client.socket == NoSocket) return;
    uint8_t buffer[PresenceDatagramCapacity];
    for (int attempt = 0; attempt < PresenceReceivesPerPump; ++attempt) {
        size_t length = 0;
        ReceiveResult result = receiveDatagram(client.socket, buffer, sizeof buffer, length);
        if (result == ReceiveResult::NothingWaiting) break;
        if (result != ReceiveResult::Datagram) continue;  // errors and oversized datagrams count, unused
        if (applyServerDatagram(client, table, buffer, length, nowMs) == ServerDatagramEffect::ServerBye) {
            disconnectPresenceClient(client, table);
            return;
        }
    }
    switch (takeDueMessage(client, table, nowMs)) {
    case DueMessage::Hello: {
        uint8_t hello[HelloLength];
        encodeHello(hello);
        sendDatagram(client.socket, hello, sizeof hello);
        break;
    }
    case DueMessage::State: {
        uint8_t state[StateLength];
        encodeState(pose, state);
        sendDatagram(client.socket, state, sizeof state);
        break;
    }
    case DueMessage::Nothing:
        break;
    }
}

void disconnectPresenceClient(PresenceClient& client, RemotePlayerTable& table) {
    if (client.socket != NoSocket) {
        uint8_t bye[ByeLength];
        encodeBye(bye);
        sendDatagram(client.socket, bye, sizeof bye);
        closeUdpSocket(client.socket);
    }
    resetPresenceClient(client, table);
}

bool presenceConnect(const char* address, uint64_t nowMs) {
    return connectPresenceClient(presenceClient, remotePlayers, address, nowMs);
}

bool presenceConnectTo(const PeerAddress& server, uint64_t nowMs) {
    return connectPresenceClientTo(presenceClient, remotePlayers, server, nowMs);
}

void presenceDisconnect() { disconnectPresenceClient(presenceClient, remotePlayers); }
