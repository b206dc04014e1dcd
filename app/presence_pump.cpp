// The local player's pose handed to the game's presence client; the client itself knows no player.
#include "app/presence_pump.h"

#include "presence/presence_client.h"
#include "world/player.h"

void presencePump(uint64_t nowMs) {
    // Taken now, so the State carries the pose at the moment of sending.
    PlayerState pose = {localPlayer.x, localPlayer.y, localPlayer.z, localPlayer.yaw,
                        uint8_t(localPlayer.crouching ? 1 : 0)};
    pumpPresenceClient(presenceClient, remotePlayers, pose, nowMs);
}
