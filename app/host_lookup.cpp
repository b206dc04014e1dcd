// The lookup slots shared by the main thread and the lookup threads. A slot is Free until the main
// thread starts a lookup in it; the thread then moves it from Running to Resolved or Failed, or, if
// the main thread abandoned it meanwhile, straight back to Free. Only atomics cross the threads.
#include "app/host_lookup.h"

#include <SDL3/SDL.h>

#include <atomic>
#include <cstring>

#include "protocol/address.h"
#include "sockets/udp_socket.h"

namespace {

enum SlotState : int { Free, Running, Resolved, Failed, Abandoned };

struct HostLookupSlot {
    std::atomic<int> state{Free};
    char host[AddressHostCapacity];
    char port[AddressPortCapacity];
    PeerAddress address;  // written by the thread before it leaves Running
};

// Lives for the process: a thread may still be waiting on a name server when the game quits.
HostLookupSlot slots[HostLookupCapacity];

int lookupThread(void* data) {
    HostLookupSlot& slot = *static_cast<HostLookupSlot*>(data);
    PeerAddress found = {};
    bool resolved = resolveUdpAddress(slot.host, slot.port, found);
    slot.address = found;
    int expected = Running;
    if (!slot.state.compare_exchange_strong(expected, resolved ? Resolved : Failed)) slot.state.store(Free);
    return 0;
}

bool validTicket(LookupTicket ticket) { return ticket >= 0 && ticket < HostLookupCapacity; }

}  // namespace

LookupTicket startHostLookup(const char* host, const char* port) {
    if (std::strlen(host) >= AddressHostCapacity || std::strlen(port) >= AddressPortCapacity) return NoLookup;
    for (LookupTicket ticket = 0; ticket < HostLookupCapacity; ++ticket) {
        HostLookupSlot& slot = slots[ticket];
        // Only the main thread takes a slot out of Free, so nothing can claim it between these lines.
        if (slot.state.load() != Free) continue;
        std::strcpy(slot.host, host);
        std::strcpy(slot.port, port);
        slot.state.store(Running);
        SDL_Thread* thread = SDL_CreateThread(lookupThread, "name lookup", &slot);
        if (!thread) {
            slot.state.store(Free);
            return NoLookup;
        }
        SDL_DetachThread(thread);
        return ticket;
    }
    return NoLookup;
}

LookupResult takeHostLookup(LookupTicket ticket, PeerAddress& out) {
    if (!validTicket(ticket)) return LookupResult::Failed;
    HostLookupSlot& slot = slots[ticket];
    int state = slot.state.load();
    if (state == Running) return LookupResult::Pending;
    if (state == Resolved) out = slot.address;
    slot.state.store(Free);
    return state == Resolved ? LookupResult::Resolved : LookupResult::Failed;
}

void abandonHostLookup(LookupTicket ticket) {
    if (!validTicket(ticket)) return;
    int expected = Running;
    // Already answered: nobody will take the answer, so the slot is free at once.
    if (!slots[ticket].state.compare_exchange_strong(expected, Abandoned)) slots[ticket].state.store(Free);
}
