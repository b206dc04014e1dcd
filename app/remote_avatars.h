// Remote avatars in the frame: each active slot glides towards its reported pose and is appended to
// the scene as a capsule in its slot's colour.
#pragma once
#include "protocol/remote_players.h"
#include "world/body.h"
#include "world/scene_mesh.h"

constexpr float AvatarEasingRate = 15.0f;

// Eight colours; slots i and i + 8 share one.
extern const float AvatarColours[8][3];

// Moves every active slot a fraction min(15 dt, 1) of the way to its target and appends its capsule,
// slots in order 0 to 15.
void smoothAndAppendAvatars(RemotePlayerTable& table, float dt, SceneMesh& mesh);
