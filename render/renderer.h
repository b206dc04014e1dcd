// One frame: acquire the surface texture, upload uniforms and both meshes, draw the floor, the rest
// of the scene and the interface in one pass, submit and present.
#pragma once
#include <cstdint>

// What a frame drew, for the frame loop's first-frame line and for tests: at most three draws.
struct FrameDraws {
    enum Pipeline { Floor, Flat, Ui };
    struct Draw {
        Pipeline pipeline;
        uint32_t firstVertex;
        uint32_t vertexCount;
    };
    Draw draws[3];
    int drawCount;
    bool presented;
};

// Draws sceneMesh and uiMesh with the view-projection matrix (16 floats, column-major) and returns
// what it drew. A surface texture that cannot be acquired skips the frame (nothing drawn, nothing
// presented) and reconfigures the surface at its stored size.
FrameDraws renderFrame(const float viewProjection[16]);
