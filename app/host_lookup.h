// Name lookups on threads of their own, so that a name server that answers slowly or never holds
// up only that thread. The main thread starts a lookup, asks each frame whether it has ended, and
// may walk away from it; a fixed set of slots bounds how many can be under way at once.
#pragma once
#include "protocol/peer_address.h"

constexpr int HostLookupCapacity = 4;

using LookupTicket = int;
constexpr LookupTicket NoLookup = -1;

enum class LookupResult { Pending, Resolved, Failed };

// Starts resolving host and port (as resolveUdpAddress does) on a new thread. NoLookup when every
// slot is taken, by lookups still waiting even after they were abandoned, or no thread can be made.
LookupTicket startHostLookup(const char* host, const char* port);

// Whether the lookup has ended; Resolved fills out. Resolved and Failed end the ticket.
LookupResult takeHostLookup(LookupTicket ticket, PeerAddress& out);

// Ends the ticket without waiting; its thread frees the slot whenever its answer comes.
void abandonHostLookup(LookupTicket ticket);
