// The three render pipelines: flat and floor from the scene shader, and the UI pipeline. All draw
// into the surface's colour format with the Depth32Float target attached, and cull nothing.
#pragma once
#include <cstdint>

#include "render/webgpu_api.h"

// Compiles its own shader module from source and builds a pipeline with an automatic layout; null
// when creation fails. Scene pipelines test and write depth and replace colour; the UI pipeline
// ignores depth and blends with source alpha.
WGPURenderPipeline createRenderPipeline(const char* source, const WGPUVertexAttribute* attributes,
                                        size_t attributeCount, uint64_t stride, bool isScene,
                                        const char* fragmentEntry);

WGPURenderPipeline createScenePipeline(const char* fragmentEntry);
WGPURenderPipeline createUiPipeline();
