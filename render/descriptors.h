// Sampler and texture descriptors filled from only what a call site varies: a field left zero takes
// the usual default, so each call site reads as its differences from the usual.
#pragma once
#include <cstdint>

#include "render/webgpu_api.h"

// Zero means: clamp to edge, nearest filtering within and between mip levels, and maxAnisotropy 1.
// Every sampler reads all mip levels (lodMaxClamp 32) and compares nothing.
struct SamplerSettings {
    WGPUAddressMode addressMode = {};  // along U and V; W stays undefined (clamp to edge), the textures being 2D
    WGPUFilterMode filter = {};        // magnifying and minifying
    WGPUMipmapFilterMode mipmapFilter = {};
    uint16_t maxAnisotropy = 0;
};

WGPUSamplerDescriptor samplerDescriptor(const SamplerSettings& settings);

// A 2D texture of one layer and one sample; zero mipLevelCount means 1.
struct TextureSettings {
    WGPUTextureUsage usage = 0;
    uint32_t width = 0;
    uint32_t height = 0;
    WGPUTextureFormat format = {};
    uint32_t mipLevelCount = 0;
};

WGPUTextureDescriptor textureDescriptor(const TextureSettings& settings);
