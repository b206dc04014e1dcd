// Pipeline construction. Vertex layouts mirror SceneVertex and UiVertex field by field.
#include "render/pipelines.h"

#include <cstddef>

#include "render/gpu_context.h"
#include "render/shaders.h"
#include "ui/ui_mesh.h"
#include "world/scene_mesh.h"

namespace {

WGPUVertexAttribute attribute(WGPUVertexFormat format, uint64_t offset, uint32_t location) {
    WGPUVertexAttribute result = {};
    result.format = format;
    result.offset = offset;
    result.shaderLocation = location;
    return result;
}

const WGPUVertexAttribute SceneAttributes[3] = {
    attribute(WGPUVertexFormat_Float32x3, offsetof(SceneVertex, position), 0),
    attribute(WGPUVertexFormat_Float32x3, offsetof(SceneVertex, normal), 1),
    attribute(WGPUVertexFormat_Float32x3, offsetof(SceneVertex, colour), 2),
};

const WGPUVertexAttribute UiAttributes[3] = {
    attribute(WGPUVertexFormat_Float32x2, offsetof(UiVertex, position), 0),
    attribute(WGPUVertexFormat_Float32x2, offsetof(UiVertex, uv), 1),
    attribute(WGPUVertexFormat_Float32x4, offsetof(UiVertex, colour), 2),
};

WGPUStringView text(const char* value) { return {value, WGPU_STRLEN}; }

// A copy of the constants a stage descriptor hands over; the count as handed, even past what is kept.
PipelineConstants constantsHanded(const WGPUConstantEntry* entries, size_t count) {
    PipelineConstants handed = {};
    handed.count = count;
    for (size_t i = 0; i < count && i < MaxPipelineConstants; ++i) handed.entries[i] = entries[i];
    return handed;
}

}  // namespace

PipelineConstants sceneShaderConstants(const DrawingPath& path) {
    PipelineConstants constants = {};
    if (path.cpuRasterizerShading) {
        constants.entries[0].key = text("CPU_RASTERIZER");
        constants.entries[0].value = 1.0;
        constants.count = 1;
    }
    return constants;
}

CreatedPipeline createRenderPipeline(const char* source, const WGPUVertexAttribute* attributes, size_t attributeCount,
                                     uint64_t stride, bool isScene, const char* fragmentEntry,
                                     const PipelineConstants& constants) {
    WGPUShaderSourceWGSL wgsl = {};
    wgsl.chain.sType = WGPUSType_ShaderSourceWGSL;
    wgsl.code = text(source);
    WGPUShaderModuleDescriptor moduleDescriptor = {};
    moduleDescriptor.nextInChain = &wgsl.chain;
    moduleDescriptor.label = text(nullptr);
    WGPUShaderModule module = wgpuDeviceCreateShaderModule(gpu.device, &moduleDescriptor);

    WGPUVertexBufferLayout bufferLayout = {};
    bufferLayout.stepMode = WGPUVertexStepMode_Vertex;
    bufferLayout.arrayStride = stride;
    bufferLayout.attributeCount = attributeCount;
    bufferLayout.attributes = attributes;

    WGPUStencilFaceState stencilFace = {};
    stencilFace.compare = WGPUCompareFunction_Always;
    stencilFace.failOp = WGPUStencilOperation_Keep;
    stencilFace.depthFailOp = WGPUStencilOperation_Keep;
    stencilFace.passOp = WGPUStencilOperation_Keep;

    WGPUDepthStencilState depthStencil = {};
    depthStencil.format = WGPUTextureFormat_Depth32Float;
    depthStencil.depthWriteEnabled = isScene ? WGPUOptionalBool_True : WGPUOptionalBool_False;
    depthStencil.depthCompare = isScene ? WGPUCompareFunction_Less : WGPUCompareFunction_Always;
    depthStencil.stencilFront = stencilFace;
    depthStencil.stencilBack = stencilFace;
    depthStencil.stencilReadMask = 0;
    depthStencil.stencilWriteMask = 0;

    WGPUBlendState blend = {};
    blend.color.operation = WGPUBlendOperation_Add;
    blend.color.srcFactor = WGPUBlendFactor_SrcAlpha;
    blend.color.dstFactor = WGPUBlendFactor_OneMinusSrcAlpha;
    blend.alpha.operation = WGPUBlendOperation_Add;
    blend.alpha.srcFactor = WGPUBlendFactor_One;
    blend.alpha.dstFactor = WGPUBlendFactor_OneMinusSrcAlpha;

    WGPUColorTargetState colourTarget = {};
    colourTarget.format = gpu.surfaceFormat;
    colourTarget.blend = isScene ? nullptr : &blend;
    colourTarget.writeMask = WGPUColorWriteMask_All;

    WGPUFragmentState fragment = {};
    fragment.module = module;
    fragment.entryPoint = text(fragmentEntry);
    fragment.constantCount = constants.count;
    fragment.constants = constants.entries;
    fragment.targetCount = 1;
    fragment.targets = &colourTarget;

    WGPURenderPipelineDescriptor descriptor = {};
    descriptor.label = text(nullptr);
    descriptor.layout = nullptr;
    descriptor.vertex.module = module;
    descriptor.vertex.entryPoint = text("vs");
    descriptor.vertex.constantCount = constants.count;
    descriptor.vertex.constants = constants.entries;
    descriptor.vertex.bufferCount = 1;
    descriptor.vertex.buffers = &bufferLayout;
    descriptor.primitive.topology = WGPUPrimitiveTopology_TriangleList;
    descriptor.primitive.stripIndexFormat = WGPUIndexFormat_Undefined;
    descriptor.primitive.frontFace = WGPUFrontFace_Undefined;
    descriptor.primitive.cullMode = WGPUCullMode_None;
    descriptor.depthStencil = &depthStencil;
    descriptor.multisample.count = 1;
    descriptor.multisample.mask = 0xFFFFFFFFu;
    descriptor.multisample.alphaToCoverageEnabled = false;
    descriptor.fragment = &fragment;

    CreatedPipeline created = {};
    created.pipeline = wgpuDeviceCreateRenderPipeline(gpu.device, &descriptor);
    wgpuShaderModuleRelease(module);
    created.vertexConstants = constantsHanded(descriptor.vertex.constants, descriptor.vertex.constantCount);
    created.fragmentConstants = constantsHanded(fragment.constants, fragment.constantCount);
    return created;
}

CreatedPipeline createScenePipeline(const char* fragmentEntry, const DrawingPath& path) {
    return createRenderPipeline(SceneShaderSource, SceneAttributes, 3, sizeof(SceneVertex), true, fragmentEntry,
                                sceneShaderConstants(path));
}

CreatedPipeline createUiPipeline() {
    return createRenderPipeline(UiShaderSource, UiAttributes, 3, sizeof(UiVertex), false, "fs", {});
}
