// The floor's material: base colour, normal and occlusion-roughness-metalness maps read from JPEGs
// beside the executable, each uploaded with a full mip chain built on the CPU.
#pragma once
#include "render/floor_image.h"
#include "render/webgpu_api.h"

struct FloorTextures {
    WGPUTextureView baseView;
    WGPUTextureView normalView;
    WGPUTextureView ormView;
    WGPUSampler floorSampler;
};

extern FloorTextures floorTextures;

// Loads a floor map (path relative to the executable's folder) as a mipmapped texture; null when
// the file is missing or does not decode (the cause is logged).
WGPUTextureView loadFloorTexture(const char* relativePath, WGPUTextureFormat format);

// The floor's three maps, its repeating sampler (anisotropic unless the adapter is a software
// rasterizer) and its bind group. False when any map
// failed to load (all three are attempted first).
bool loadFloorMaterial();
