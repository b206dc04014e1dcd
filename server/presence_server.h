// The presence server's logic with no socket: a record of the joined players and functions that take
// one datagram or the passing of time and produce the datagrams to send and the events to report.
// server_main.cpp moves the bytes; tests and the fuzzer drive these directly.
#pragma once
#include <cstddef>
#include <cstdint>

#include "protocol/messages.h"
#include "protocol/peer_address.h"

constexpr int ServerPlayerCapacity = RemotePlayerSlots;
constexpr uint64_t ClientSilenceLimitMs = 5000;  // a player unheard for longer is dropped
// Rosters go only to players whose own State arrived this recently, so a forged Hello earns a
// 2-byte Welcome and never a stream of rosters towards someone else's address.
constexpr uint64_t RosterAudienceWindowMs = 1000;
constexpr uint64_t RosterIntervalMs = 40;  // 25 rosters a second
// A joined address's repeated Hello is answered at most this often, so Hellos forged in its name
// reflect at most five Welcomes a second towards it; a client repeats Hello every 250 ms, so each of
// its own retries is still answered.
constexpr uint64_t RepeatedWelcomeIntervalMs = 200;
constexpr size_t ServerDatagramCapacity = RosterHeaderLength + RosterRecordLength * ServerPlayerCapacity;

struct ServerPlayer {
    bool joined;
    PeerAddress address;
    uint64_t lastHeardMs;    // last Hello or State
    uint64_t lastWelcomeMs;  // last Welcome sent
    bool hasPose;            // a State arrived since joining; only then is the player listed
    uint64_t lastStateMs;
    PlayerState pose;
};

// The one server state of the program; lives for the process. Slot index is the player id.
struct PresenceServer {
    ServerPlayer players[ServerPlayerCapacity];
    uint64_t lastRosterMs;
};

struct OutgoingDatagram {
    PeerAddress to;
    size_t length;
    uint8_t bytes[ServerDatagramCapacity];
};

enum class ServerEventKind { Joined, Left, TimedOut };

struct ServerEvent {
    ServerEventKind kind;
    int id;
    PeerAddress address;
};

// What one call produced; each call empties it first. At most one datagram per player and one event
// per player come out of any call.
struct ServerOutput {
    int datagramCount;
    OutgoingDatagram datagrams[ServerPlayerCapacity];
    int eventCount;
    ServerEvent events[ServerPlayerCapacity];
};

// One datagram from an address: Hello joins (or repeats the Welcome of a joined address, at most
// once per RepeatedWelcomeIntervalMs), State updates the sender's pose, Bye frees its id. Anything
// else, from anyone, is ignored.
void serverReceive(PresenceServer& server, const PeerAddress& from, const uint8_t* data, size_t length, uint64_t nowMs,
                   ServerOutput& out);

// Drops silent players and, when a roster is due, sends one listing every player with a pose to
// every player that sent its State within RosterAudienceWindowMs.
void serverTick(PresenceServer& server, uint64_t nowMs, ServerOutput& out);

// A ServerBye to every joined player, for a server about to stop.
void serverShutdown(const PresenceServer& server, ServerOutput& out);

const char* serverEventName(ServerEventKind kind);
