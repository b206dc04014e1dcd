// Avatar smoothing. dt is at most 0.05, so a step covers at most three quarters of the distance and
// an avatar never lands on its target in a single frame.
#include "app/remote_avatars.h"

#include "world/room_geometry.h"

const float AvatarColours[8][3] = {
    {0.95f, 0.60f, 0.12f}, {0.34f, 0.73f, 0.91f}, {0.66f, 0.89f, 0.42f}, {0.90f, 0.30f, 0.35f},
    {0.75f, 0.50f, 0.95f}, {0.95f, 0.85f, 0.30f}, {0.30f, 0.85f, 0.75f}, {0.95f, 0.55f, 0.75f},
};

void smoothAndAppendAvatars(RemotePlayerTable& table, float dt, SceneMesh& mesh) {
    float t = AvatarEasingRate * dt;
    if (t > 1.0f) t = 1.0f;
    for (int i = 0; i < RemotePlayerSlots; ++i) {
        RemotePlayer& slot = table.slots[i];
        if (!slot.active) continue;
        float goalHeight = slot.target.crouching ? CrouchingBodyHeight : StandingBodyHeight;
        slot.smoothX += (slot.target.x - slot.smoothX) * t;
        slot.smoothY += (slot.target.y - slot.smoothY) * t;
        slot.smoothZ += (slot.target.z - slot.smoothZ) * t;
        slot.smoothHeight += (goalHeight - slot.smoothHeight) * t;
        appendAvatarCapsule(mesh, slot.smoothX, slot.smoothY, slot.smoothZ, slot.smoothHeight, AvatarColours[i & 7]);
    }
}
