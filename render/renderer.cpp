// The frame renderer. Buffers are sized once for the meshes' capacities, so a frame only writes into
// them: one encoder, one pass, one submit, at most three draws.
#include "render/renderer.h"

#include "render/gpu_context.h"
#include "ui/ui_mesh.h"
#include "world/scene_mesh.h"

namespace {

constexpr uint32_t FloorVertexCount = 6;

void draw(WGPURenderPassEncoder pass, FrameDraws& drawn, FrameDraws::Pipeline pipeline, uint32_t firstVertex,
          uint32_t vertexCount) {
    wgpuRenderPassEncoderDraw(pass, vertexCount, 1, firstVertex, 0);
    drawn.draws[drawn.drawCount++] = {pipeline, firstVertex, vertexCount};
}

void uploadFrame(const float viewProjection[16]) {
    wgpuQueueWriteBuffer(gpu.queue, gpu.sceneUniformBuffer, 0, viewProjection, 64);
    wgpuQueueWriteBuffer(gpu.queue, gpu.sceneUniformBuffer, 64, gpu.eyePosition, 16);
    const float screen[4] = {float(gpu.surfaceWidth), float(gpu.surfaceHeight), 0.0f, 0.0f};
    wgpuQueueWriteBuffer(gpu.queue, gpu.screenUniformBuffer, 0, screen, sizeof(screen));
    wgpuQueueWriteBuffer(gpu.queue, gpu.sceneVertexBuffer, 0, sceneMesh.vertices,
                         size_t(sceneMesh.count) * sizeof(SceneVertex));
    if (uiMesh.count > 0) {
        wgpuQueueWriteBuffer(gpu.queue, gpu.uiVertexBuffer, 0, uiMesh.vertices, size_t(uiMesh.count) * sizeof(UiVertex));
    }
}

void encodeFrame(WGPUTextureView target, FrameDraws& drawn) {
    WGPUCommandEncoder encoder = wgpuDeviceCreateCommandEncoder(gpu.device, nullptr);

    WGPURenderPassColorAttachment colour = {};
    colour.view = target;
    colour.depthSlice = WGPU_DEPTH_SLICE_UNDEFINED;
    colour.resolveTarget = nullptr;
    colour.loadOp = WGPULoadOp_Clear;
    colour.storeOp = WGPUStoreOp_Store;
    colour.clearValue = {0.05, 0.055, 0.06, 1.0};

    WGPURenderPassDepthStencilAttachment depth = {};
    depth.view = gpu.depthView;
    depth.depthLoadOp = WGPULoadOp_Clear;
    depth.depthStoreOp = WGPUStoreOp_Discard;
    depth.depthClearValue = 1.0f;
    depth.depthReadOnly = false;
    depth.stencilLoadOp = WGPULoadOp_Undefined;
    depth.stencilStoreOp = WGPUStoreOp_Undefined;
    depth.stencilClearValue = 0;
    depth.stencilReadOnly = false;

    WGPURenderPassDescriptor passDescriptor = {};
    passDescriptor.label = {nullptr, WGPU_STRLEN};
    passDescriptor.colorAttachmentCount = 1;
    passDescriptor.colorAttachments = &colour;
    passDescriptor.depthStencilAttachment = &depth;
    WGPURenderPassEncoder pass = wgpuCommandEncoderBeginRenderPass(encoder, &passDescriptor);

    uint32_t sceneCount = sceneMesh.count;
    wgpuRenderPassEncoderSetVertexBuffer(pass, 0, gpu.sceneVertexBuffer, 0, uint64_t(sceneCount) * sizeof(SceneVertex));

    wgpuRenderPassEncoderSetPipeline(pass, gpu.floorPipeline);
    wgpuRenderPassEncoderSetBindGroup(pass, 0, gpu.floorBindGroup, 0, nullptr);
    draw(pass, drawn, FrameDraws::Floor, 0, FloorVertexCount);

    wgpuRenderPassEncoderSetPipeline(pass, gpu.flatPipeline);
    wgpuRenderPassEncoderSetBindGroup(pass, 0, gpu.flatBindGroup, 0, nullptr);
    draw(pass, drawn, FrameDraws::Flat, FloorVertexCount, sceneCount - FloorVertexCount);

    if (uiMesh.count > 0) {
        wgpuRenderPassEncoderSetPipeline(pass, gpu.uiPipeline);
        wgpuRenderPassEncoderSetBindGroup(pass, 0, gpu.uiBindGroup, 0, nullptr);
        wgpuRenderPassEncoderSetVertexBuffer(pass, 0, gpu.uiVertexBuffer, 0, uint64_t(uiMesh.count) * sizeof(UiVertex));
        draw(pass, drawn, FrameDraws::Ui, 0, uiMesh.count);
    }

    wgpuRenderPassEncoderEnd(pass);
    wgpuRenderPassEncoderRelease(pass);
    WGPUCommandBuffer commands = wgpuCommandEncoderFinish(encoder, nullptr);
    wgpuQueueSubmit(gpu.queue, 1, &commands);
    wgpuCommandBufferRelease(commands);
    wgpuCommandEncoderRelease(encoder);
}

}  // namespace

FrameDraws renderFrame(const float viewProjection[16]) {
    FrameDraws drawn = {};

    if (!gpu.surface) {
        // Headless: the same upload and pass, into the offscreen target.
        uploadFrame(viewProjection);
        WGPUTextureView target = wgpuTextureCreateView(headlessTarget(), nullptr);
        encodeFrame(target, drawn);
        wgpuTextureViewRelease(target);
        return drawn;
    }

    WGPUSurfaceTexture surfaceTexture = {};
    wgpuSurfaceGetCurrentTexture(gpu.surface, &surfaceTexture);
    if (surfaceTexture.status != WGPUSurfaceGetCurrentTextureStatus_SuccessOptimal &&
        surfaceTexture.status != WGPUSurfaceGetCurrentTextureStatus_SuccessSuboptimal) {
        if (surfaceTexture.texture) wgpuTextureRelease(surfaceTexture.texture);
        configureSurface(gpu.surfaceWidth, gpu.surfaceHeight);
        return drawn;
    }

    uploadFrame(viewProjection);
    WGPUTextureView target = wgpuTextureCreateView(surfaceTexture.texture, nullptr);
    encodeFrame(target, drawn);
    wgpuSurfacePresent(gpu.surface);
    drawn.presented = true;
    wgpuTextureViewRelease(target);
    wgpuTextureRelease(surfaceTexture.texture);
    return drawn;
}
