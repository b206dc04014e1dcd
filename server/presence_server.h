// The presence server's logic with no socket: a record of the joined players and functions that take
// one datagram or the passing of time and produce the datagrams to send and the events to report.
// server_main.cpp moves the bytes; tests and the fuzzer drive these directly.
#pragma once
#include <cstddef>
#include <cstdint>

#include "protocol/messages.h"
#include "protocol/peer_address.h"
#include "server/refusal_lines.h"

constexpr int ServerPlayerCapacity = RemotePlayerSlots;
constexpr uint64_t ClientSilenceLimitMs = 5000;  // a player unheard for longer is dropped
constexpr uint64_t RosterIntervalMs = 40;  // 25 rosters a second
// A joined address's repeated Hello is answered at most this often, so Hellos forged in its name
// reflect at most five Welcomes a second towards it; a client repeats Hello every 250 ms, so each of
// its own retries is still answered.
constexpr uint64_t RepeatedWelcomeIntervalMs = 200;
// A real client answers its Welcome with a State at once and then about thirty a second; an address
// with fewer than this many States holds its id only on trial. Forged Hellos never send a State, so
// they cannot keep ids from real players.
constexpr int ConfirmingStates = 2;
constexpr uint64_t TrialLimitMs = 1000;  // an id still on trial this long after its join is freed
// A network may deliver a client's last States after its Bye. For this long after a Bye its address's
// States are taken for such stragglers and join nothing: a client that comes back says Hello.
constexpr uint64_t ByeMemoryMs = 2000;
// A player joined by a State (as after a server restart) has its Welcome repeated this often: unlike a
// Hello, that State is not repeated until a Welcome comes, so a client whose Welcome was lost learns
// its id anyway.
constexpr uint64_t WelcomeRepeatMs = 1000;
constexpr size_t ServerDatagramCapacity = RosterHeaderLength + RosterRecordLength * ServerPlayerCapacity;

struct ServerPlayer {
    bool joined;
    PeerAddress address;
    uint64_t joinedMs;
    uint64_t lastHeardMs;    // last Hello or State
    uint64_t lastWelcomeMs;  // last Welcome sent
    int states;              // States since joining, counted up to ConfirmingStates
    bool stateSinceRoster;   // earns the next roster: one roster per State at most
    bool joinedByState;      // its Welcome had no retry, so its States earn it again now and then
    PlayerState pose;
};

// An address whose player said Bye, and when.
struct RecentBye {
    bool used;
    PeerAddress address;
    uint64_t atMs;
};

// The one server state of the program; lives for the process. Slot index is the player id.
struct PresenceServer {
    ServerPlayer players[ServerPlayerCapacity];
    RecentBye recentByes[ServerPlayerCapacity];  // a Bye takes the place of the oldest
    uint64_t lastRosterMs;
    RefusalLines refusals;  // the full room's refusals logged lately
};

struct OutgoingDatagram {
    PeerAddress to;
    size_t length;
    uint8_t bytes[ServerDatagramCapacity];
};

// TurnedAway: a join the full room refused, reported only when refusalEarnsLine says so.
enum class ServerEventKind { Joined, Left, TimedOut, SentNoState, TurnedAway };

struct ServerEvent {
    ServerEventKind kind;
    int id;  // -1 for TurnedAway
    PeerAddress address;
    int players;  // ids held once the event took place
};

// What one call produced; each call empties it first. At most one datagram per player and one event
// per player come out of any call.
struct ServerOutput {
    int datagramCount;
    OutgoingDatagram datagrams[ServerPlayerCapacity];
    int eventCount;
    ServerEvent events[ServerPlayerCapacity];
};

// One datagram from an address. Hello joins (or repeats the Welcome of a joined address, at most
// once per RepeatedWelcomeIntervalMs). State updates the sender's pose (one outside the room, or not
// a number, is ignored like any malformed datagram); from an address that holds no id it joins too,
// with a Welcome in place of a roster, so a client whose id was taken back or whose server restarted
// is back at once, unless the address said Bye within ByeMemoryMs. A player joined that way gets its
// Welcome again, in place of a roster, for a State once WelcomeRepeatMs has passed since the last.
// A join to a full server takes back the id of the player on trial with the fewest States, the
// longest joined first; with none on trial it is not answered. Bye frees the sender's id. Anything
// else, from anyone, is ignored.
// A join the full room refuses is reported as TurnedAway, as often as refusalEarnsLine allows.
void serverReceive(PresenceServer& server, const PeerAddress& from, const uint8_t* data, size_t length, uint64_t nowMs,
                   ServerOutput& out);

// Drops silent players and players still on trial after TrialLimitMs and, when a roster is due, sends
// one listing every confirmed player to every player that sent a State since its last roster.
void serverTick(PresenceServer& server, uint64_t nowMs, ServerOutput& out);

// A ServerBye to every joined player, for a server about to stop.
void serverShutdown(const PresenceServer& server, ServerOutput& out);

const char* serverEventName(ServerEventKind kind);

// The log line of an event: "player 2 joined (192.168.1.7:50123), 3 of 16 in the room".
constexpr size_t ServerEventLineCapacity = 128;
void formatServerEvent(const ServerEvent& event, char* out, size_t capacity);
