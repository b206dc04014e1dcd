// The presence client: one non-blocking UDP socket towards the presence server, pumped once a frame
// on the main thread. Joining sends Hello until a Welcome gives an id; joined sends the local
// player's pose about thirty times a second and merges every Roster into the remote player table.
#pragma once
#include <cstdint>

#include "protocol/presence_session.h"

// The server a client reaches when "server.txt" names none: the project's own server run on the
// same machine (port DefaultPresencePort).
constexpr const char* DefaultServerAddress = "127.0.0.1";

// The game's one presence client and the remote players it reports; both live for the process,
// main thread only. The table is cleared (all zero, all inactive) whenever the client leaves.
extern PresenceClient presenceClient;
extern RemotePlayerTable remotePlayers;

// Opens the socket towards "host" or "host:port"; no answer is awaited. False when the socket layer
// did not start, the name does not resolve (nothing changes then) or the socket cannot be made.
bool presenceConnect(const char* address, uint64_t nowMs);
// The same towards an address already resolved: opens the socket, and the next pump says Hello.
bool presenceConnectTo(const PeerAddress& server, uint64_t nowMs);

// Sends Bye and closes the socket if one is open, then resets the client and clears the table.
void presenceDisconnect();

// The game's pump, which hands over the local player's pose, is the client's own (app/presence_pump.h).

// The same over any client and table, for programs that run several clients in one process (the
// bots, the tests); the game's functions above are these over its own instances. The pump receives
// and applies what is waiting (at most PresenceReceivesPerPump datagrams), then sends what is due,
// the State carrying pose; it returns at once with no socket open.
bool connectPresenceClient(PresenceClient& client, RemotePlayerTable& table, const char* address, uint64_t nowMs);
bool connectPresenceClientTo(PresenceClient& client, RemotePlayerTable& table, const PeerAddress& server,
                             uint64_t nowMs);
void pumpPresenceClient(PresenceClient& client, RemotePlayerTable& table, const PlayerState& pose, uint64_t nowMs);
void disconnectPresenceClient(PresenceClient& client, RemotePlayerTable& table);
