// The presence server's decisions: ids, poses, timeouts and the roster broadcast.
#include "server/presence_server.h"

#include <cmath>
#include <cstring>

#include "protocol/presence_session.h"

static_assert(RepeatedWelcomeIntervalMs < HelloIntervalMs, "every retry of a client whose Welcome was lost is answered");

namespace {

int findPlayer(const PresenceServer& server, const PeerAddress& address) {
    for (int id = 0; id < ServerPlayerCapacity; ++id)
        if (server.players[id].joined && samePeer(server.players[id].address, address)) return id;
    return -1;
}

int lowestFreeId(const PresenceServer& server) {
    for (int id = 0; id < ServerPlayerCapacity; ++id)
        if (!server.players[id].joined) return id;
    return -1;
}

OutgoingDatagram& addDatagram(ServerOutput& out, const PeerAddress& to) {
    OutgoingDatagram& datagram = out.datagrams[out.datagramCount++];
    datagram.to = to;
    return datagram;
}

void addEvent(ServerOutput& out, ServerEventKind kind, int id, const PeerAddress& address) {
    out.events[out.eventCount++] = ServerEvent{kind, id, address};
}

void clearOutput(ServerOutput& out) {
    out.datagramCount = 0;
    out.eventCount = 0;
}

void sendWelcome(ServerOutput& out, int id, const PeerAddress& to) {
    OutgoingDatagram& datagram = addDatagram(out, to);
    uint8_t welcome[WelcomeLength];
    encodeWelcome(uint8_t(id), welcome);
    std::memcpy(datagram.bytes, welcome, WelcomeLength);
    datagram.length = WelcomeLength;
}

}  // namespace

void serverReceive(PresenceServer& server, const PeerAddress& from, const uint8_t* data, size_t length, uint64_t nowMs,
                   ServerOutput& out) {
    clearOutput(out);
    if (length == 0) return;
    int id = findPlayer(server, from);
    if (decodeHello(data, length)) {
        bool repeated = id >= 0;
        if (!repeated) {
            id = lowestFreeId(server);
            if (id < 0) return;  // full: no answer, the client keeps asking
            server.players[id] = ServerPlayer{};
            server.players[id].joined = true;
            server.players[id].address = from;
            addEvent(out, ServerEventKind::Joined, id, from);
        }
        ServerPlayer& player = server.players[id];
        player.lastHeardMs = nowMs;  // an unanswered repeat is still a sign of life
        if (repeated && nowMs - player.lastWelcomeMs < RepeatedWelcomeIntervalMs) return;
        player.lastWelcomeMs = nowMs;
        sendWelcome(out, id, from);
        return;
    }
    if (id < 0) return;
    ServerPlayer& player = server.players[id];
    PlayerState pose;
    if (decodeState(data, length, pose)) {
        if (!std::isfinite(pose.x) || !std::isfinite(pose.y) || !std::isfinite(pose.z)) return;
        player.pose = pose;
        player.hasPose = true;
        player.lastStateMs = nowMs;
        player.lastHeardMs = nowMs;
    } else if (decodeBye(data, length)) {
        player.joined = false;
        addEvent(out, ServerEventKind::Left, id, from);
    }
}

void serverTick(PresenceServer& server, uint64_t nowMs, ServerOutput& out) {
    clearOutput(out);
    for (int id = 0; id < ServerPlayerCapacity; ++id) {
        ServerPlayer& player = server.players[id];
        if (player.joined && nowMs - player.lastHeardMs > ClientSilenceLimitMs) {
            player.joined = false;
            addEvent(out, ServerEventKind::TimedOut, id, player.address);
        }
    }
    if (nowMs - server.lastRosterMs < RosterIntervalMs) return;
    server.lastRosterMs = nowMs;

    RosterMessage roster;
    roster.count = 0;
    for (int id = 0; id < ServerPlayerCapacity; ++id) {
        const ServerPlayer& player = server.players[id];
        if (player.joined && player.hasPose) roster.records[roster.count++] = RosterRecord{uint8_t(id), player.pose};
    }
    uint8_t bytes[ServerDatagramCapacity];
    size_t length = encodeRoster(roster, bytes, sizeof bytes);
    for (int id = 0; id < ServerPlayerCapacity; ++id) {
        const ServerPlayer& player = server.players[id];
        if (!player.joined || !player.hasPose || nowMs - player.lastStateMs > RosterAudienceWindowMs) continue;
        OutgoingDatagram& datagram = addDatagram(out, player.address);
        std::memcpy(datagram.bytes, bytes, length);
        datagram.length = length;
    }
}

void serverShutdown(const PresenceServer& server, ServerOutput& out) {
    clearOutput(out);
    for (int id = 0; id < ServerPlayerCapacity; ++id) {
        if (!server.players[id].joined) continue;
        OutgoingDatagram& datagram = addDatagram(out, server.players[id].address);
        datagram.bytes[0] = ServerByeType;
        datagram.length = ServerByeLength;
    }
}

const char* serverEventName(ServerEventKind kind) {
    switch (kind) {
    case ServerEventKind::Joined: return "joined";
    case ServerEventKind::Left: return "left";
    case ServerEventKind::TimedOut: return "timed out";
    }
    return "?";
}
