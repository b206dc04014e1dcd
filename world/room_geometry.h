// The room and the avatar capsules, appended to a SceneMesh as plain triangle lists. The room always
// goes first, so that its floor quad occupies vertices 0 to 5 and can be drawn with its own pipeline.
#pragma once
#include "world/scene_mesh.h"

constexpr float RoomHalfWidth = 6.0f;
constexpr float RoomHeight = 4.0f;
constexpr uint32_t RoomVertexCount = 36;

constexpr float CapsuleRadius = 0.35f;
// The body's axis keeps a capsule's radius from each wall.
constexpr float PlayerWallLimit = RoomHalfWidth - CapsuleRadius;
// Where "Play" puts the player: a circle about the room's centre.
constexpr float SpawnRadius = 2.5f;
constexpr int CapsuleRingsPerHemisphere = 7;
constexpr int CapsuleSegments = 16;
constexpr int CapsuleBands = 2 * CapsuleRingsPerHemisphere - 1;
constexpr uint32_t CapsuleVertexCount = CapsuleBands * CapsuleSegments * 6;

// Appends the floor, ceiling and four walls (36 vertices, floor first), stopping once the mesh is full.
void buildRoomMesh(SceneMesh& mesh);

// Appends one capsule standing on (x, y, z) and reaching up to y + height: exactly
// CapsuleVertexCount vertices, or none when they would not all fit.
void appendAvatarCapsule(SceneMesh& mesh, float x, float y, float z, float height, const float (&colour)[3]);
