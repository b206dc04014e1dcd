// The presence server's decisions: ids, poses, timeouts and the roster broadcast.
#include "server/presence_server.h"

#include <cmath>
#include <cstdio>
#include <cstring>

#include "protocol/presence_session.h"
#include "world/room_geometry.h"

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

// No client's movement ever leaves the room, so a pose outside it (or not a number) is no client's:
// it neither moves a player nor joins an address.
bool insideRoom(const PlayerState& pose) {
    return std::fabs(pose.x) <= RoomHalfWidth && std::fabs(pose.z) <= RoomHalfWidth && pose.y >= 0.0f &&
           pose.y <= RoomHeight;
}

bool onTrial(const ServerPlayer& player) { return player.joined && player.states < ConfirmingStates; }

// The id a join to a full server may take back: the player on trial with the fewest States, the
// longest joined among them, so a flood of forged Hellos churns only its own ids and a client that
// has answered its Welcome keeps its own; -1 when every player is confirmed.
int idToTakeBack(const PresenceServer& server) {
    int chosen = -1;
    for (int id = 0; id < ServerPlayerCapacity; ++id) {
        const ServerPlayer& player = server.players[id];
        if (!onTrial(player)) continue;
        const ServerPlayer* best = chosen >= 0 ? &server.players[chosen] : nullptr;
        if (!best || player.states < best->states ||
            (player.states == best->states && player.joinedMs < best->joinedMs))
            chosen = id;
    }
    return chosen;
}

bool saidByeLately(const PresenceServer& server, const PeerAddress& address, uint64_t nowMs) {
    for (const RecentBye& bye : server.recentByes)
        if (bye.used && samePeer(bye.address, address) && nowMs - bye.atMs <= ByeMemoryMs) return true;
    return false;
}

void rememberBye(PresenceServer& server, const PeerAddress& address, uint64_t nowMs) {
    RecentBye* oldest = &server.recentByes[0];
    for (RecentBye& bye : server.recentByes) {
        if (!bye.used) {
            oldest = &bye;
            break;
        }
        if (bye.atMs < oldest->atMs) oldest = &bye;
    }
    *oldest = RecentBye{true, address, nowMs};
}

OutgoingDatagram& addDatagram(ServerOutput& out, const PeerAddress& to) {
    OutgoingDatagram& datagram = out.datagrams[out.datagramCount++];
    datagram.to = to;
    return datagram;
}

int playersInRoom(const PresenceServer& server) {
    int players = 0;
    for (const ServerPlayer& player : server.players) players += player.joined;
    return players;
}

// Called once the event has taken place, so its count of players is the room's after it.
void addEvent(const PresenceServer& server, ServerOutput& out, ServerEventKind kind, int id,
              const PeerAddress& address) {
    out.events[out.eventCount++] = ServerEvent{kind, id, address, playersInRoom(server)};
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

// A new player at from: the lowest free id, or one taken back from a player on trial. -1 when full.
int joinPlayer(PresenceServer& server, const PeerAddress& from, uint64_t nowMs, ServerOutput& out) {
    int id = lowestFreeId(server);
    if (id < 0) {
        id = idToTakeBack(server);
        if (id < 0) {  // every player confirmed: no answer, the client keeps asking
            if (refusalEarnsLine(server.refusals, from, nowMs))
                addEvent(server, out, ServerEventKind::TurnedAway, -1, from);
            return -1;
        }
        server.players[id].joined = false;
        addEvent(server, out, ServerEventKind::SentNoState, id, server.players[id].address);
    }
    server.players[id] = ServerPlayer{};
    server.players[id].joined = true;
    server.players[id].address = from;
    server.players[id].joinedMs = nowMs;
    addEvent(server, out, ServerEventKind::Joined, id, from);
    return id;
}

}  // namespace

void serverReceive(PresenceServer& server, const PeerAddress& from, const uint8_t* data, size_t length, uint64_t nowMs,
                   ServerOutput& out) {
    clearOutput(out);
    if (length == 0) return;
    int id = findPlayer(server, from);
    PlayerState pose;
    bool hello = decodeHello(data, length);
    bool state = !hello && decodeState(data, length, pose);
    if (state && !insideRoom(pose)) return;

    // States a network delivers after their sender's Bye must not bring back a player nobody plays.
    bool joining = id < 0 && (hello || (state && !saidByeLately(server, from, nowMs)));
    if (joining) id = joinPlayer(server, from, nowMs, out);
    if (id < 0) return;
    ServerPlayer& player = server.players[id];

    if (hello) {
        player.lastHeardMs = nowMs;  // an unanswered repeat is still a sign of life
        if (!joining && nowMs - player.lastWelcomeMs < RepeatedWelcomeIntervalMs) return;
        player.lastWelcomeMs = nowMs;
        sendWelcome(out, id, from);
    } else if (state) {
        // Still one datagram back per State: a Welcome, first or repeated, takes the place of a roster.
        bool welcomeAgain = !joining && player.joinedByState && nowMs - player.lastWelcomeMs >= WelcomeRepeatMs;
        if (joining) player.joinedByState = true;
        if (joining || welcomeAgain) {
            player.lastWelcomeMs = nowMs;
            sendWelcome(out, id, from);
        }
        player.pose = pose;
        if (player.states < ConfirmingStates) ++player.states;
        if (!joining && !welcomeAgain) player.stateSinceRoster = true;
        player.lastHeardMs = nowMs;
    } else if (decodeBye(data, length)) {
        player.joined = false;
        rememberBye(server, from, nowMs);
        addEvent(server, out, ServerEventKind::Left, id, from);
    }
}

void serverTick(PresenceServer& server, uint64_t nowMs, ServerOutput& out) {
    clearOutput(out);
    for (int id = 0; id < ServerPlayerCapacity; ++id) {
        ServerPlayer& player = server.players[id];
        if (!player.joined) continue;
        if (nowMs - player.lastHeardMs > ClientSilenceLimitMs) {
            player.joined = false;
            addEvent(server, out, ServerEventKind::TimedOut, id, player.address);
        } else if (onTrial(player) && nowMs - player.joinedMs > TrialLimitMs) {
            player.joined = false;
            addEvent(server, out, ServerEventKind::SentNoState, id, player.address);
        }
    }
    if (nowMs - server.lastRosterMs < RosterIntervalMs) return;
    server.lastRosterMs = nowMs;

    RosterMessage roster;
    roster.count = 0;
    for (int id = 0; id < ServerPlayerCapacity; ++id) {
        const ServerPlayer& player = server.players[id];
        if (player.joined && !onTrial(player)) roster.records[roster.count++] = RosterRecord{uint8_t(id), player.pose};
    }
    uint8_t bytes[ServerDatagramCapacity];
    size_t length = encodeRoster(roster, bytes, sizeof bytes);
    for (int id = 0; id < ServerPlayerCapacity; ++id) {
        ServerPlayer& player = server.players[id];
        if (!player.joined || !player.stateSinceRoster) continue;
        player.stateSinceRoster = false;
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
    case ServerEventKind::SentNoState: return "sent no State after its Welcome";
    case ServerEventKind::TurnedAway: return "turned away: the room is full";
    }
    return "?";
}

void formatServerEvent(const ServerEvent& event, char* out, size_t capacity) {
    char address[32];
    formatPeerAddress(event.address, address, sizeof address);
    if (event.kind == ServerEventKind::TurnedAway)
        std::snprintf(out, capacity, "%s %s, %d of %d in the room", address, serverEventName(event.kind),
                      event.players, ServerPlayerCapacity);
    else
        std::snprintf(out, capacity, "player %d %s (%s), %d of %d in the room", event.id,
                      serverEventName(event.kind), address, event.players, ServerPlayerCapacity);
}
