// The frame's world geometry: a flat, non-indexed triangle list rebuilt on the CPU every frame and
// uploaded whole by the renderer. Its capacity is the size of the GPU vertex buffer.
#pragma once
#include <cstdint>

struct SceneVertex {
    float position[3];  // world metres, y up
    float normal[3];    // unit length
    float colour[3];    // gamma-encoded RGB in 0..1
};
static_assert(sizeof(SceneVertex) == 36, "the scene vertex layout is 36 bytes");

constexpr uint32_t SceneVertexCapacity = 40000;

struct SceneMesh {
    SceneVertex vertices[SceneVertexCapacity];
    uint32_t count;
};

// The frame's one mesh: emptied (count 0) at the start of every frame, never freed.
extern SceneMesh sceneMesh;
