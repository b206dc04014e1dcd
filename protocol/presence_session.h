// The presence client's state and its decisions, apart from the socket: what a datagram from the
// server does to the state and the remote player table, and which message is due at a given time.
// The device side (presence_client.cpp) only moves bytes; tests and fuzzers drive these directly.
#pragma once
#include <cstddef>
#include <cstdint>

#include "protocol/messages.h"
#include "protocol/peer_address.h"
#include "protocol/remote_players.h"

constexpr int PresenceReceivesPerPump = 256;
constexpr uint64_t HelloIntervalMs = 250;    // a Hello goes out when more than this has passed
constexpr uint64_t StateIntervalMs = 33;     // a State goes out when at least this has passed
constexpr uint64_t SilenceLimitMs = 5000;    // joined ends when more than this passes unheard

// Everything but the three timestamps is reset when the client leaves the server; all times are
// milliseconds of the frame clock, compared by unsigned subtraction.
struct PresenceClient {
    SocketHandle socket = NoSocket;
    bool connected = false;  // a Welcome was accepted and the server has not fallen silent since
    int32_t ownId = -1;      // the id the server gave; -1 when none
    uint64_t lastHelloMs = 0;
    uint64_t lastSendMs = 0;
    uint64_t lastHeardMs = 0;  // last accepted Welcome or Roster, or the connect
};

enum class ServerDatagramEffect { Ignored, Welcomed, RosterMerged, ServerBye };

// Applies one datagram from the server. ServerBye changes nothing here: the caller leaves the server.
ServerDatagramEffect applyServerDatagram(PresenceClient& client, RemotePlayerTable& table, const uint8_t* data,
                                         size_t length, uint64_t nowMs);

enum class DueMessage { Nothing, Hello, State };

// Which message goes out now, its timestamp updated as sent. A joined client whose server has been
// silent too long falls back to joining here (own id dropped, table cleared) and sends nothing.
DueMessage takeDueMessage(PresenceClient& client, RemotePlayerTable& table, uint64_t nowMs);

// The reset of leaving: no socket, not joined, no id, the table cleared. Timestamps stay.
void resetPresenceClient(PresenceClient& client, RemotePlayerTable& table);
