// The defaults behind SamplerSettings and TextureSettings. A zero the WebGPU descriptor itself reads
// as its default (an undefined address, filter or mipmap mode) is passed on as zero; the others are
// replaced here, since a zero maxAnisotropy is invalid and a zero lodMaxClamp would keep a sampler on
// the largest mip level.
#include "render/descriptors.h"

namespace {
constexpr float AllMipLevels = 32.0f;
}

WGPUSamplerDescriptor samplerDescriptor(const SamplerSettings& settings) {
    WGPUSamplerDescriptor descriptor = {};
    descriptor.label = {nullptr, WGPU_STRLEN};
    descriptor.addressModeU = settings.addressMode;
    descriptor.addressModeV = settings.addressMode;
    descriptor.addressModeW = WGPUAddressMode_Undefined;
    descriptor.magFilter = settings.filter;
    descriptor.minFilter = settings.filter;
    descriptor.mipmapFilter = settings.mipmapFilter;
    descriptor.lodMinClamp = 0.0f;
    descriptor.lodMaxClamp = AllMipLevels;
    descriptor.compare = WGPUCompareFunction_Undefined;
    descriptor.maxAnisotropy = settings.maxAnisotropy ? settings.maxAnisotropy : uint16_t(1);
    return descriptor;
}

WGPUTextureDescriptor textureDescriptor(const TextureSettings& settings) {
    WGPUTextureDescriptor descriptor = {};
    descriptor.label = {nullptr, WGPU_STRLEN};
    descriptor.usage = settings.usage;
    descriptor.dimension = WGPUTextureDimension_2D;
    descriptor.size = {settings.width, settings.height, 1};
    descriptor.format = settings.format;
    descriptor.mipLevelCount = settings.mipLevelCount ? settings.mipLevelCount : 1;
    descriptor.sampleCount = 1;
    return descriptor;
}
