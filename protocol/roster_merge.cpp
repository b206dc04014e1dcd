// The roster merge: whatever a server reports, the table only ever holds poses inside the room.
#include "protocol/roster_merge.h"

#include <cmath>

#include "base/clamp.h"
#include "world/body.h"
#include "world/room_geometry.h"

void mergeRoster(RemotePlayerTable& table, const RosterMessage& roster, int ownId) {
    bool seen[RemotePlayerSlots] = {};
    for (int i = 0; i < roster.count; ++i) {
        const RosterRecord& record = roster.records[i];
        if (record.id >= RemotePlayerSlots || int(record.id) == ownId) continue;
        PlayerState state = record.state;
        if (!std::isfinite(state.x) || !std::isfinite(state.y) || !std::isfinite(state.z)) continue;
        // Clamped so an avatar never leaves the room, whatever a server reports.
        state.x = clampTo(state.x, -RoomHalfWidth, RoomHalfWidth);
        state.y = clampTo(state.y, 0.0f, RoomHeight);
        state.z = clampTo(state.z, -RoomHalfWidth, RoomHalfWidth);
        RemotePlayer& slot = table.slots[record.id];
        slot.target = state;
        if (!slot.active) {
            slot.smoothX = state.x;
            slot.smoothY = state.y;
            slot.smoothZ = state.z;
            slot.smoothHeight = StandingBodyHeight;
            slot.active = true;
        }
        seen[record.id] = true;
    }
    for (int id = 0; id < RemotePlayerSlots; ++id) table.slots[id].active = table.slots[id].active && seen[id];
}
