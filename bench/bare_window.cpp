// The floor for start-up: the client's window and WebGPU set-up (the same code), then one cleared
// frame presented, and nothing else. Prints the first-frame line as the client logs it. With
// "--frames N" it goes on presenting cleared frames and prints their rate: the present path's own
// cost, which no frame of the client can beat.
#include <SDL3/SDL.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "base/startup_clock.h"
#include "render/gpu_context.h"

namespace {

bool presentClearedFrame() {
    WGPUSurfaceTexture surfaceTexture = {};
    wgpuSurfaceGetCurrentTexture(gpu.surface, &surfaceTexture);
    if (surfaceTexture.status != WGPUSurfaceGetCurrentTextureStatus_SuccessOptimal &&
        surfaceTexture.status != WGPUSurfaceGetCurrentTextureStatus_SuccessSuboptimal) {
        if (surfaceTexture.texture) wgpuTextureRelease(surfaceTexture.texture);
        return false;
    }
    WGPUTextureView target = wgpuTextureCreateView(surfaceTexture.texture, nullptr);
    WGPUCommandEncoder encoder = wgpuDeviceCreateCommandEncoder(gpu.device, nullptr);
    WGPURenderPassColorAttachment colour = {};
    colour.view = target;
    colour.depthSlice = WGPU_DEPTH_SLICE_UNDEFINED;
    colour.loadOp = WGPULoadOp_Clear;
    colour.storeOp = WGPUStoreOp_Store;
    colour.clearValue = {0.05, 0.055, 0.06, 1.0};
    WGPURenderPassDescriptor passDescriptor = {};
    passDescriptor.label = {nullptr, WGPU_STRLEN};
    passDescriptor.colorAttachmentCount = 1;
    passDescriptor.colorAttachments = &colour;
    WGPURenderPassEncoder pass = wgpuCommandEncoderBeginRenderPass(encoder, &passDescriptor);
    wgpuRenderPassEncoderEnd(pass);
    wgpuRenderPassEncoderRelease(pass);
    WGPUCommandBuffer commands = wgpuCommandEncoderFinish(encoder, nullptr);
    wgpuQueueSubmit(gpu.queue, 1, &commands);
    wgpuCommandBufferRelease(commands);
    wgpuCommandEncoderRelease(encoder);
    wgpuSurfacePresent(gpu.surface);
    wgpuTextureViewRelease(target);
    wgpuTextureRelease(surfaceTexture.texture);
    wgpuInstanceProcessEvents(gpu.instance);
    return true;
}

}  // namespace

int main(int argumentCount, char** arguments) {
    startStartupClock();
    int extraFrames = 0;
    if (argumentCount == 3 && std::strcmp(arguments[1], "--frames") == 0) extraFrames = std::atoi(arguments[2]);

    if (!SDL_Init(SDL_INIT_VIDEO)) {
        std::fprintf(stderr, "SDL_Init (video): %s\n", SDL_GetError());
        return 1;
    }
    SDL_Window* window = SDL_CreateWindow("Vornhal: Zanthery", 1280, 720, SDL_WINDOW_RESIZABLE);
    if (!window) {
        std::fprintf(stderr, "SDL_CreateWindow: %s\n", SDL_GetError());
        return 1;
    }
    markStartupStep("window");
    if (!startGpuDevice(window) || !presentClearedFrame()) return 1;
    markStartupStep("first frame");
    char steps[512];
    formatStartupSteps(steps, sizeof(steps));
    std::printf("first frame presented %llu ms after start (%s)\n", (unsigned long long)msSinceLaunch(), steps);
    std::fflush(stdout);

    if (extraFrames > 0) {
        uint64_t startNs = SDL_GetTicksNS();
        int presented = 0;
        for (int i = 0; i < extraFrames; ++i) {
            SDL_PumpEvents();
            presented += presentClearedFrame();
        }
        double seconds = double(SDL_GetTicksNS() - startNs) * 1e-9;
        std::printf("cleared frames: %d in %.2f s, %.1f a second\n", presented, seconds, presented / seconds);
    }
    SDL_Quit();
    return 0;
}
