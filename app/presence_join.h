// Joining the presence server that "Play" names: a dotted IPv4 address connects at once, a host name
// is looked up on a thread of its own first, so the frame never waits on a name server. The game's
// presence client (presence_client.h) does the rest.
#pragma once
#include <cstdint>

// "Play": connects to "host" or "host:port", or starts looking the host up. False when nothing will
// come of it (no socket layer, an address that does not split, a failed connect, no lookup slot).
bool presenceJoin(const char* address, uint64_t nowMs);

// Each frame before presencePump: once the lookup has found the server, opens the socket, so that
// pump sends the Hello; a lookup that failed leaves the user playing alone.
void presenceJoinPump(uint64_t nowMs);

// "Leave" and exit: drops a lookup still under way, then presenceDisconnect (Bye when a socket is open).
void presenceLeave();
