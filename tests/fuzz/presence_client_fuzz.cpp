// libFuzzer target for the presence client's handling of datagrams from the server: the input is
// split into datagrams (a length byte before each), applied in order to one client and table as the
// pump applies them, with the sending timetable run between, and the table checked to hold only
// poses inside the room.
#include <cmath>
#include <cstddef>
#include <cstdint>

#include "protocol/presence_session.h"
#include "world/room_geometry.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    PresenceClient client;
    RemotePlayerTable table = {};
    uint64_t now = 1000;
    size_t at = 0;
    while (at < size) {
        size_t length = data[at++] * 2;  // up to 510 bytes, so rosters of every size are reachable
        if (length > size - at) length = size - at;
        ServerDatagramEffect effect = applyServerDatagram(client, table, data + at, length, now);
        if (effect == ServerDatagramEffect::ServerBye) resetPresenceClient(client, table);
        at += length;
        now += 7 * (length & 15);
        takeDueMessage(client, table, now);
        if (client.ownId < -1 || client.ownId >= RemotePlayerSlots) __builtin_trap();
        for (const RemotePlayer& slot : table.slots) {
            if (!slot.active) continue;
            const PlayerState& t = slot.target;
            if (!(std::fabs(t.x) <= RoomHalfWidth && std::fabs(t.z) <= RoomHalfWidth && t.y >= 0 && t.y <= RoomHeight))
                __builtin_trap();
        }
    }
    return 0;
}
