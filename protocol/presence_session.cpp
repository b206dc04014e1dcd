// The presence client's reactions to the server and its sending timetable.
#include "protocol/presence_session.h"

#include <cstring>

#include "protocol/roster_merge.h"

ServerDatagramEffect applyServerDatagram(PresenceClient& client, RemotePlayerTable& table, const uint8_t* data,
                                         size_t length, uint64_t nowMs) {
    if (length == 0) return ServerDatagramEffect::Ignored;
    switch (data[0]) {
    case WelcomeType: {
        uint8_t id;
        if (!decodeWelcome(data, length, id)) return ServerDatagramEffect::Ignored;
        client.lastHeardMs = nowMs;
        client.connected = true;
        client.ownId = id;
        return ServerDatagramEffect::Welcomed;
    }
    case ServerByeType:
        return ServerDatagramEffect::ServerBye;
    case RosterType: {
        RosterMessage roster;  // about 500 bytes on the stack: nothing allocates in the pump
        if (!decodeRoster(data, length, roster)) return ServerDatagramEffect::Ignored;
        client.lastHeardMs = nowMs;
        mergeRoster(table, roster, client.ownId);
        return ServerDatagramEffect::RosterMerged;
    }
    default:
        return ServerDatagramEffect::Ignored;
    }
}

DueMessage takeDueMessage(PresenceClient& client, RemotePlayerTable& table, uint64_t nowMs) {
    if (client.connected) {
        if (nowMs - client.lastHeardMs > SilenceLimitMs) {
            client.connected = false;
            client.ownId = -1;
            std::memset(&table, 0, sizeof table);
            return DueMessage::Nothing;
        }
        if (nowMs - client.lastSendMs < StateIntervalMs) return DueMessage::Nothing;
        client.lastSendMs = nowMs;
        return DueMessage::State;
    }
    if (nowMs - client.lastHelloMs <= HelloIntervalMs) return DueMessage::Nothing;
    client.lastHelloMs = nowMs;
    return DueMessage::Hello;
}

void resetPresenceClient(PresenceClient& client, RemotePlayerTable& table) {
    client.socket = NoSocket;
    client.connected = false;
    client.ownId = -1;
    std::memset(&table, 0, sizeof table);
}
