// Room and capsule builders. Both run every frame with no cached trigonometry: the whole world is a
// few thousand vertices, cheaper to rebuild than to keep in step with the remote players.
#include "world/room_geometry.h"

#include <cmath>

SceneMesh sceneMesh;

namespace {

struct RoomFace {
    int corners[4];
    float normal[3];
    float colour[3];
};

// Floor corners 0..3, ceiling corners 4..7 above them.
constexpr float W = RoomHalfWidth;
constexpr float H = RoomHeight;
constexpr float RoomCorners[8][3] = {
    {-W, 0, -W}, {W, 0, -W}, {W, 0, W}, {-W, 0, W},
    {-W, H, -W}, {W, H, -W}, {W, H, W}, {-W, H, W},
};

constexpr float WallColour[3] = {0.62f, 0.63f, 0.65f};

// Every normal points into the room; the floor comes first.
constexpr RoomFace RoomFaces[6] = {
    {{0, 1, 2, 3}, {0, 1, 0}, {0.36f, 0.37f, 0.39f}},
    {{4, 5, 6, 7}, {0, -1, 0}, {0.8f, 0.8f, 0.8f}},
    {{0, 1, 5, 4}, {0, 0, 1}, {WallColour[0], WallColour[1], WallColour[2]}},
    {{3, 2, 6, 7}, {0, 0, -1}, {WallColour[0], WallColour[1], WallColour[2]}},
    {{0, 3, 7, 4}, {1, 0, 0}, {WallColour[0], WallColour[1], WallColour[2]}},
    {{1, 2, 6, 5}, {-1, 0, 0}, {WallColour[0], WallColour[1], WallColour[2]}},
};

// A quad (q0, q1, q2, q3) becomes the triangles q0 q1 q2 and q0 q2 q3.
constexpr int QuadOrder[6] = {0, 1, 2, 0, 2, 3};

void setVertex(SceneVertex& vertex, float px, float py, float pz, float nx, float ny, float nz, const float* colour) {
    vertex.position[0] = px;
    vertex.position[1] = py;
    vertex.position[2] = pz;
    vertex.normal[0] = nx;
    vertex.normal[1] = ny;
    vertex.normal[2] = nz;
    vertex.colour[0] = colour[0];
    vertex.colour[1] = colour[1];
    vertex.colour[2] = colour[2];
}

struct CapsuleRing {
    float heightOffset;
    float normalY;
    float radiusFactor;
};

}  // namespace

void buildRoomMesh(SceneMesh& mesh) {
    for (const RoomFace& face : RoomFaces) {
        for (int corner : QuadOrder) {
            if (mesh.count >= SceneVertexCapacity) break;
            const float* p = RoomCorners[face.corners[corner]];
            setVertex(mesh.vertices[mesh.count++], p[0], p[1], p[2], face.normal[0], face.normal[1], face.normal[2],
                      face.colour);
        }
    }
}

void appendAvatarCapsule(SceneMesh& mesh, float x, float y, float z, float height, const float (&colour)[3]) {
    // Entries 0..6 run from the bottom pole to the lower equator, 7..13 from the upper equator to the
    // top pole; the band between 6 and 7 is the straight side. The angles are formed in single
    // precision, so the pole radii come out a hair above zero rather than exactly zero.
    CapsuleRing rings[2 * CapsuleRingsPerHemisphere];
    for (int i = 0; i < CapsuleRingsPerHemisphere; ++i) {
        float a = float(i) * 1.5707964f / 6.0f;
        float below = a - 1.5707964f;
        rings[i] = {CapsuleRadius + CapsuleRadius * std::sin(below), std::sin(below), std::cos(below)};
        rings[CapsuleRingsPerHemisphere + i] = {(height - CapsuleRadius) + CapsuleRadius * std::sin(a), std::sin(a),
                                                std::cos(a)};
    }

    if (mesh.count + CapsuleVertexCount > SceneVertexCapacity) return;

    // The 17 segment edges around the axis. Every band meets the same angles, formed by the same
    // expression, so evaluating them once per capsule gives the very values a per-segment evaluation
    // would, at a thirteenth of the cost.
    float cosines[CapsuleSegments + 1], sines[CapsuleSegments + 1];
    for (int edge = 0; edge <= CapsuleSegments; ++edge) {
        float theta = float(edge) * 6.2831855f * 0.0625f;
        cosines[edge] = std::cos(theta);
        sines[edge] = std::sin(theta);
    }

    for (int band = 0; band < CapsuleBands; ++band) {
        const CapsuleRing& lower = rings[band];
        const CapsuleRing& upper = rings[band + 1];
        for (int segment = 0; segment < CapsuleSegments; ++segment) {
            float cos0 = cosines[segment], sin0 = sines[segment];
            float cos1 = cosines[segment + 1], sin1 = sines[segment + 1];
            auto point = [&](const CapsuleRing& ring, float cosTheta, float sinTheta) {
                float nx = ring.radiusFactor * cosTheta;
                float nz = ring.radiusFactor * sinTheta;
                setVertex(mesh.vertices[mesh.count++], x + CapsuleRadius * nx, y + ring.heightOffset,
                          z + CapsuleRadius * nz, nx, ring.normalY, nz, colour);
            };
            point(lower, cos0, sin0);
            point(lower, cos1, sin1);
            point(upper, cos1, sin1);
            point(lower, cos0, sin0);
            point(upper, cos1, sin1);
            point(upper, cos0, sin0);
        }
    }
}
