// How the scene is drawn on the adapter's kind: whether an adapter rasterizes on the CPU, and the
// drawing path that follows from it. Decided once at start-up from the adapter and handed to the code
// that builds the scene pipelines and the floor sampler.
#pragma once
#include <cstdint>

#include "render/webgpu_api.h"

// A CPU rasterizer gets the cheap path (most of its frame went to filtering and per-pixel work); a
// hardware adapter the exact one.
struct DrawingPath {
    uint16_t floorAnisotropy;             // 16 on hardware, 1 on a CPU rasterizer
    WGPUMipmapFilterMode floorMipFilter;  // linear between mip levels on hardware, nearest on a CPU rasterizer
    bool cpuRasterizerShading;            // the scene shader's CPU_RASTERIZER constant: per-vertex linearisation
                                          // and a polynomial gamma step within 1.4/255 of the exact power
};

DrawingPath drawingPathFor(bool softwareAdapter);

// True for an adapter that rasterizes on the CPU: type CPU, or a device or description naming one of
// the software rasterizers (llvmpipe, softpipe, lavapipe, SwiftShader, WARP), since Dawn's OpenGL ES
// backend reports llvmpipe's type as Unknown.
bool isSoftwareAdapter(WGPUAdapterType type, WGPUStringView device, WGPUStringView description);
