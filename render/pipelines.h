// The three render pipelines: flat and floor from the scene shader, and the UI pipeline. All draw
// into the surface's colour format with the Depth32Float target attached, and cull nothing.
#pragma once
#include <cstddef>
#include <cstdint>

#include "render/gpu_context.h"
#include "render/webgpu_api.h"

// Override constants of a pipeline's stages: the scene shader has one, CPU_RASTERIZER.
constexpr size_t MaxPipelineConstants = 1;
struct PipelineConstants {
    WGPUConstantEntry entries[MaxPipelineConstants];
    size_t count;
};

// The scene shader's constants on a drawing path: CPU_RASTERIZER = 1 for the CPU rasterizer's
// shading, none at all on the exact path (the shader's default).
PipelineConstants sceneShaderConstants(const DrawingPath& path);

// A pipeline (null when creation failed) and the constants its vertex and fragment stages were
// created with, read back from the descriptor handed to WebGPU, so a test sees what creation saw.
struct CreatedPipeline {
    WGPURenderPipeline pipeline;
    PipelineConstants vertexConstants;
    PipelineConstants fragmentConstants;
};

// Compiles its own shader module from source and builds a pipeline with an automatic layout, both
// stages given the constants. Scene pipelines test and write depth and replace colour; the UI
// pipeline ignores depth and blends with source alpha.
CreatedPipeline createRenderPipeline(const char* source, const WGPUVertexAttribute* attributes, size_t attributeCount,
                                     uint64_t stride, bool isScene, const char* fragmentEntry,
                                     const PipelineConstants& constants);

// A scene pipeline (fragment entry fs_flat or fs_floor) for the drawing path.
CreatedPipeline createScenePipeline(const char* fragmentEntry, const DrawingPath& path);
CreatedPipeline createUiPipeline();
