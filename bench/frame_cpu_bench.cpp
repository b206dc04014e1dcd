// The CPU side of a frame: the room plus sixteen capsules rebuilt from nothing, and the camera.
#include <benchmark/benchmark.h>

#include "app/remote_avatars.h"
#include "render/camera.h"
#include "world/room_geometry.h"

namespace {

void fillTable(RemotePlayerTable& table) {
    for (int i = 0; i < RemotePlayerSlots; ++i) {
        RemotePlayer& slot = table.slots[i];
        slot.active = true;
        slot.target = {float(i % 4) * 2.0f - 3.0f, 0.0f, float(i / 4) * 2.0f - 3.0f, 0.0f, uint8_t(i & 1)};
        slot.smoothX = slot.target.x;
        slot.smoothZ = slot.target.z;
        slot.smoothHeight = 1.8f;
    }
}

void sceneMeshWithSixteenAvatars(benchmark::State& state) {
    RemotePlayerTable table = {};
    fillTable(table);
    for (auto _ : state) {
        sceneMesh.count = 0;
        buildRoomMesh(sceneMesh);
        smoothAndAppendAvatars(table, 1.0f / 60.0f, sceneMesh);
        benchmark::DoNotOptimize(sceneMesh.vertices[sceneMesh.count - 1]);
    }
    state.counters["vertices"] = double(sceneMesh.count);
}
BENCHMARK(sceneMeshWithSixteenAvatars);

void viewProjection(benchmark::State& state) {
    float matrix[16];
    float angle = 0.0f;
    for (auto _ : state) {
        OrbitCamera orbit = orbitCameraAt(angle);
        viewProjectionForSurface(orbit.eye, orbit.yaw, orbit.pitch, 1280, 720, matrix);
        benchmark::DoNotOptimize(matrix);
        angle += 0.001f;
    }
}
BENCHMARK(viewProjection);

}  // namespace
