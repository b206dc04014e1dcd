// Bind groups on the client's one device, made against bind group 0 of a pipeline's automatic layout.
#include "render/bind_groups.h"

#include "render/gpu_context.h"

WGPUBindGroup createBindGroup(WGPURenderPipeline pipeline, const WGPUBindGroupEntry* entries, size_t count) {
    WGPUBindGroupLayout layout = wgpuRenderPipelineGetBindGroupLayout(pipeline, 0);
    WGPUBindGroupDescriptor descriptor = {};
    descriptor.label = {nullptr, WGPU_STRLEN};
    descriptor.layout = layout;
    descriptor.entryCount = count;
    descriptor.entries = entries;
    WGPUBindGroup group = wgpuDeviceCreateBindGroup(gpu.device, &descriptor);
    wgpuBindGroupLayoutRelease(layout);
    return group;
}

WGPUBindGroupEntry bufferBinding(uint32_t binding, WGPUBuffer buffer, uint64_t size) {
    WGPUBindGroupEntry entry = {};
    entry.binding = binding;
    entry.buffer = buffer;
    entry.offset = 0;
    entry.size = size;
    return entry;
}

WGPUBindGroupEntry textureBinding(uint32_t binding, WGPUTextureView view) {
    WGPUBindGroupEntry entry = {};
    entry.binding = binding;
    entry.size = WGPU_WHOLE_SIZE;
    entry.textureView = view;
    return entry;
}

WGPUBindGroupEntry samplerBinding(uint32_t binding, WGPUSampler sampler) {
    WGPUBindGroupEntry entry = {};
    entry.binding = binding;
    entry.size = WGPU_WHOLE_SIZE;
    entry.sampler = sampler;
    return entry;
}
