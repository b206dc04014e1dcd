// The CPU side of a frame: the room plus sixteen capsules rebuilt from nothing, and the camera; and
// the client's whole frame on Dawn's Null backend, so that no presentation is waited for (events,
// presence pump, room, avatars, camera, title screen with the pointer moving over it, uploads,
// encoding, submit), beside copying the same number of vertex bytes with memcpy: the floor any frame
// that uploads its meshes pays.
#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

#include <SDL3/SDL.h>

#include "app/app_state.h"
#include "app/client.h"
#include "app/remote_avatars.h"
#include "presence/presence_client.h"
#include "render/camera.h"
#include "render/floor_textures.h"
#include "render/font_texture.h"
#include "render/gpu_context.h"
#include "render/renderer.h"
#include "ui/font_atlas.h"
#include "ui/menu_screens.h"
#include "world/room_geometry.h"

namespace {

bool startNullDevice() {
    static bool started = SDL_Init(SDL_INIT_EVENTS) && startGpuHeadless(1280, 720) && loadFontAtlas() && loadFloorMaterial();
    return started;
}

void fillTable(RemotePlayerTable& table, int avatars = RemotePlayerSlots) {
    table = {};
    for (int i = 0; i < avatars; ++i) {
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

void wholeFrameOnNullBackend(benchmark::State& state) {
    if (!startNullDevice()) {
        state.SkipWithError("no Null-backend device");
        return;
    }
    changeAppState(appCore, AppState::Menu);
    float x = 150.0f;
    for (auto _ : state) {
        fillTable(remotePlayers, int(state.range(0)));
        SDL_Event motion = {};
        motion.type = SDL_EVENT_MOUSE_MOTION;
        motion.motion.x = x = x > 450.0f ? 150.0f : x + 1.0f;  // across the buttons
        motion.motion.y = 590.0f;
        SDL_PushEvent(&motion);
        runClientFrame();
    }
    state.counters["scene vertices"] = double(sceneMesh.count);
    state.counters["ui vertices"] = double(uiMesh.count);
}
BENCHMARK(wholeFrameOnNullBackend)->Arg(0)->Arg(16)->Unit(benchmark::kMicrosecond);

// The same bytes the frame above uploads, copied once.
void memcpyOfTheFramesVertexBytes(benchmark::State& state) {
    size_t sceneBytes = (RoomVertexCount + size_t(state.range(0)) * CapsuleVertexCount) * sizeof(SceneVertex);
    size_t uiBytes = 300 * sizeof(UiVertex);  // about what the title screen draws
    std::vector<char> source(sceneBytes + uiBytes, 1), destination(sceneBytes + uiBytes);
    for (auto _ : state) {
        std::memcpy(destination.data(), source.data(), source.size());
        benchmark::DoNotOptimize(destination.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(source.size()));
}
BENCHMARK(memcpyOfTheFramesVertexBytes)->Arg(0)->Arg(16)->Unit(benchmark::kMicrosecond);

}  // namespace
