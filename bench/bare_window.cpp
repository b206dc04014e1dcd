// The floor for start-up: the client's window and WebGPU set-up (the same code), then one cleared
// frame presented, and nothing else. Prints the first-frame line as the client logs it. With
// "--until-quit" it goes on presenting cleared frames until asked to quit (SIGTERM, as the client is
// ended) and prints their figures as the client logs its own: the present path's own rate, which no
// view of the client can beat, measured the way the views are.
#include <SDL3/SDL.h>

#include <cstdio>
#include <cstring>

#include "app/frame_stats.h"
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
    const bool untilQuit = argumentCount == 2 && std::strcmp(arguments[1], "--until-quit") == 0;

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

    static FrameStats frames;  // 256 KB, kept off the stack
    for (uint64_t lastNs = SDL_GetTicksNS(); untilQuit;) {
        SDL_Event event;
        while (SDL_PollEvent(&event)) {
            if (event.type == SDL_EVENT_QUIT) {
                FrameSummary summary = summarizeFrameTimes(frames);
                std::printf("frames: %u, median %.2f ms (%.1f a second), 99th percentile %.2f ms, longest %.2f ms\n",
                            summary.frames, double(summary.medianMs),
                            summary.medianMs > 0 ? 1000.0 / double(summary.medianMs) : 0.0,
                            double(summary.percentile99Ms), double(summary.longestMs));
                SDL_Quit();
                return 0;
            }
        }
        presentClearedFrame();
        uint64_t nowNs = SDL_GetTicksNS();
        recordFrameTime(frames, float(nowNs - lastNs) * 1e-6f);
        lastNs = nowNs;
    }
    SDL_Quit();
    return 0;
}
