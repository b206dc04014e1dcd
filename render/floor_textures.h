// The floor's material: base colour, normal and occlusion-roughness-metalness maps read from JPEGs
// beside the executable, each uploaded with a full mip chain built on the CPU.
#pragma once
#include "floor_image/floor_image.h"
#include "render/descriptors.h"
#include "render/gpu_context.h"
#include "render/webgpu_api.h"

#include <cstdint>
#include <vector>

struct FloorTextures {
    WGPUTextureView baseView;
    WGPUTextureView normalView;
    WGPUTextureView ormView;
    WGPUSampler floorSampler;
};

extern FloorTextures floorTextures;

// One floor map on the CPU: every mip level, or why it could not be had.
struct DecodedFloorMap {
    std::vector<RgbaImage> levels;  // full size first; empty on failure
    char failure[320];              // for the log, when levels is empty
    uint32_t decodeMs;
};

// Reads a floor map (path relative to the executable's folder), decodes it and builds its mip chain.
// Touches no GPU state, so it runs on any thread. False, with the cause in failure, when the file is
// missing or does not decode.
bool decodeFloorMap(const char* relativePath, DecodedFloorMap& out);

// A decoded map as a mipmapped texture of the given format.
WGPUTextureView uploadFloorMap(const DecodedFloorMap& map, WGPUTextureFormat format);

// Starts decoding the three maps on a thread of their own, so it overlaps the window and GPU
// start-up. Optional: loadFloorMaterial decodes them itself when this was not called or no thread
// could be made.
void startFloorMapDecoding();

// Waits for the decoding thread, if one runs: before any early return from start-up, so no thread
// outlives the process's clean-up.
void finishFloorMapDecoding();

// The floor sampler on a drawing path: repeating, linear within a mip level, and the path's mip
// filter and anisotropy.
SamplerSettings floorSamplerSettings(const DrawingPath& path);

// The floor's sampler for the path and its bind group with gpu.floorPipeline, replacing (and
// releasing) those made before; the maps must be loaded.
void bindFloorMaterial(const DrawingPath& path);

// The floor's three maps, then its sampler and bind group for gpu.drawingPath. Waits for the
// decoding thread first. False when any map failed to load (each failure is logged).
bool loadFloorMaterial();
