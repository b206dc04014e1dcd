// Bind group 0 of a pipeline's automatic layout, and its three kinds of entry: what the pipelines',
// the floor's and the font's bind groups are made with.
#pragma once
#include <cstddef>
#include <cstdint>

#include "render/webgpu_api.h"

WGPUBindGroup createBindGroup(WGPURenderPipeline pipeline, const WGPUBindGroupEntry* entries, size_t count);
WGPUBindGroupEntry bufferBinding(uint32_t binding, WGPUBuffer buffer, uint64_t size);
WGPUBindGroupEntry textureBinding(uint32_t binding, WGPUTextureView view);
WGPUBindGroupEntry samplerBinding(uint32_t binding, WGPUSampler sampler);
