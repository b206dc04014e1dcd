// The presence client's socket side: connect, the per-frame receive and send, disconnect. The
// decisions are in presence_session.cpp.
#include "net/presence_client.h"

#include "net/socket_layer.h"
#include "world/player.h"

PresenceClient presenceClient;

namespace {

void sendState() {
    PlayerState state = {localPlayer.x, localPlayer.y, localPlayer.z, localPlayer.yaw,
                         uint8_t(localPlayer.crouching ? 1 : 0)};
    uint8_t message[StateLength];
    encodeState(state, message);
    sendDatagram(presenceClient.socket, message, sizeof message);
}

void sendHello() {
    uint8_t message[HelloLength];
    encodeHello(message);
    sendDatagram(presenceClient.socket, message, sizeof message);
}

}  // namespace

bool presenceConnect(const char* address, uint64_t nowMs) {
    if (!networkStarted) return false;
    SplitAddress split;
    PeerAddress server;
    if (!splitPresenceAddress(address, split) || !resolveUdpAddress(split.host, split.port, server)) return false;
    SocketHandle socket = openUdpSocket();
    if (socket == NoSocket) {
        resetPresenceClient(presenceClient, remotePlayers);
        return false;
    }
    presenceClient.socket = socket;
    if (!connectUdpSocket(socket, server)) {
        presenceDisconnect();
        return false;
    }
    presenceClient.lastHeardMs = nowMs;
    presenceClient.lastHelloMs = 0;
    return true;
}

void presencePump(uint64_t nowMs) {
    if (presenceClient.socket == NoSocket) return;
    uint8_t buffer[PresenceDatagramCapacity];
    for (int attempt = 0; attempt < PresenceReceivesPerPump; ++attempt) {
        size_t length = 0;
        ReceiveResult result = receiveDatagram(presenceClient.socket, buffer, sizeof buffer, length);
        if (result == ReceiveResult::NothingWaiting) break;
        if (result != ReceiveResult::Datagram) continue;
        if (applyServerDatagram(presenceClient, remotePlayers, buffer, length, nowMs) == ServerDatagramEffect::ServerBye) {
            presenceDisconnect();
            return;
        }
    }
    switch (takeDueMessage(presenceClient, remotePlayers, nowMs)) {
    case DueMessage::Hello: sendHello(); break;
    case DueMessage::State: sendState(); break;
    case DueMessage::Nothing: break;
    }
}

void presenceDisconnect() {
    if (presenceClient.socket != NoSocket) {
        uint8_t message[ByeLength];
        encodeBye(message);
        sendDatagram(presenceClient.socket, message, sizeof message);
        closeUdpSocket(presenceClient.socket);
    }
    resetPresenceClient(presenceClient, remotePlayers);
}
