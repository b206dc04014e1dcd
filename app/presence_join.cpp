// The game's join: the address split and checked here, the lookup on its thread (host_lookup.cpp),
// the socket opened by the presence client once the answer is in.
#include "app/presence_join.h"

#include "app/host_lookup.h"
#include "presence/presence_client.h"
#include "protocol/address.h"
#include "sockets/socket_layer.h"

namespace {

// The lookup "Play" started and the frames wait for; main thread only, lives for the process.
LookupTicket pendingLookup = NoLookup;

}  // namespace

bool presenceJoin(const char* address, uint64_t nowMs) {
    // Every way back to the title screen has left already; a lookup of an earlier "Play" is dropped.
    if (pendingLookup != NoLookup) abandonHostLookup(pendingLookup);
    pendingLookup = NoLookup;
    SplitAddress split;
    if (!networkStarted || !splitPresenceAddress(address, split)) return false;
    if (isNumericIpv4Host(split.host)) return presenceConnect(address, nowMs);
    pendingLookup = startHostLookup(split.host, split.port);
    return pendingLookup != NoLookup;
}

void presenceJoinPump(uint64_t nowMs) {
    if (pendingLookup == NoLookup) return;
    PeerAddress server;
    LookupResult result = takeHostLookup(pendingLookup, server);
    if (result == LookupResult::Pending) return;
    pendingLookup = NoLookup;
    if (result == LookupResult::Resolved) presenceConnectTo(server, nowMs);
}

void presenceLeave() {
    if (pendingLookup != NoLookup) abandonHostLookup(pendingLookup);
    pendingLookup = NoLookup;
    presenceDisconnect();
}
