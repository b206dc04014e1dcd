// Our declarations of the subset of the WebGPU C API (webgpu.h naming) that the client calls,
// with the enum values and struct layouts of the pinned Dawn build (libwebgpu_wrapper.so from
// bun-webgpu-linux-x64 0.1.7), which ships without a C header.
#ifndef VZ_RENDER_WEBGPU_DAWN_H
#define VZ_RENDER_WEBGPU_DAWN_H

#include <stddef.h>
#include <stdint.h>

#if defined(__cplusplus)
extern "C" {
#endif

#define WGPU_STRLEN SIZE_MAX
#define WGPU_WHOLE_SIZE UINT64_MAX
#define WGPU_DEPTH_SLICE_UNDEFINED UINT32_MAX
#define WGPU_COPY_STRIDE_UNDEFINED UINT32_MAX
#define WGPU_MIP_LEVEL_COUNT_UNDEFINED UINT32_MAX
#define WGPU_ARRAY_LAYER_COUNT_UNDEFINED UINT32_MAX
#define WGPU_LIMIT_U32_UNDEFINED UINT32_MAX
#define WGPU_LIMIT_U64_UNDEFINED UINT64_MAX

typedef uint64_t WGPUFlags;
typedef uint32_t WGPUBool;

// ---- Handles ---------------------------------------------------------------

typedef struct WGPUAdapterImpl* WGPUAdapter;
typedef struct WGPUBindGroupImpl* WGPUBindGroup;
typedef struct WGPUBindGroupLayoutImpl* WGPUBindGroupLayout;
typedef struct WGPUBufferImpl* WGPUBuffer;
typedef struct WGPUCommandBufferImpl* WGPUCommandBuffer;
typedef struct WGPUCommandEncoderImpl* WGPUCommandEncoder;
typedef struct WGPUDeviceImpl* WGPUDevice;
typedef struct WGPUInstanceImpl* WGPUInstance;
typedef struct WGPUPipelineLayoutImpl* WGPUPipelineLayout;
typedef struct WGPUQuerySetImpl* WGPUQuerySet;
typedef struct WGPUQueueImpl* WGPUQueue;
typedef struct WGPURenderPassEncoderImpl* WGPURenderPassEncoder;
typedef struct WGPURenderPipelineImpl* WGPURenderPipeline;
typedef struct WGPUSamplerImpl* WGPUSampler;
typedef struct WGPUShaderModuleImpl* WGPUShaderModule;
typedef struct WGPUSurfaceImpl* WGPUSurface;
typedef struct WGPUTextureImpl* WGPUTexture;
typedef struct WGPUTextureViewImpl* WGPUTextureView;

// Only ever passed by pointer (we pass NULL), so it stays incomplete.
struct WGPUPassTimestampWrites;
typedef struct WGPUPassTimestampWrites WGPUPassTimestampWrites;

// ---- Enums (values as the pinned Dawn build defines them) -------------------

typedef enum WGPUSType {
    WGPUSType_ShaderSourceWGSL = 2,
    WGPUSType_SurfaceSourceWindowsHWND = 5,
    WGPUSType_SurfaceSourceXlibWindow = 6,
    WGPUSType_SurfaceSourceWaylandSurface = 7,
    WGPUSType_Force32 = 0x7FFFFFFF
} WGPUSType;

typedef enum WGPUStatus {
    WGPUStatus_Success = 1,
    WGPUStatus_Error = 2,
    WGPUStatus_Force32 = 0x7FFFFFFF
} WGPUStatus;

typedef enum WGPUCallbackMode {
    WGPUCallbackMode_WaitAnyOnly = 1,
    WGPUCallbackMode_AllowProcessEvents = 2,
    WGPUCallbackMode_AllowSpontaneous = 3,
    WGPUCallbackMode_Force32 = 0x7FFFFFFF
} WGPUCallbackMode;

typedef enum WGPURequestAdapterStatus {
    WGPURequestAdapterStatus_Success = 1,
    WGPURequestAdapterStatus_CallbackCancelled = 2,
    WGPURequestAdapterStatus_Unavailable = 3,
    WGPURequestAdapterStatus_Error = 4,
    WGPURequestAdapterStatus_Force32 = 0x7FFFFFFF
} WGPURequestAdapterStatus;

typedef enum WGPURequestDeviceStatus {
    WGPURequestDeviceStatus_Success = 1,
    WGPURequestDeviceStatus_CallbackCancelled = 2,
    WGPURequestDeviceStatus_Error = 3,
    WGPURequestDeviceStatus_Force32 = 0x7FFFFFFF
} WGPURequestDeviceStatus;

typedef enum WGPUErrorType {
    WGPUErrorType_NoError = 1,
    WGPUErrorType_Validation = 2,
    WGPUErrorType_OutOfMemory = 3,
    WGPUErrorType_Internal = 4,
    WGPUErrorType_Unknown = 5,
    WGPUErrorType_Force32 = 0x7FFFFFFF
} WGPUErrorType;

typedef enum WGPUDeviceLostReason {
    WGPUDeviceLostReason_Unknown = 1,
    WGPUDeviceLostReason_Destroyed = 2,
    WGPUDeviceLostReason_CallbackCancelled = 3,
    WGPUDeviceLostReason_FailedCreation = 4,
    WGPUDeviceLostReason_Force32 = 0x7FFFFFFF
} WGPUDeviceLostReason;

typedef enum WGPUPowerPreference {
    WGPUPowerPreference_Undefined = 0,
    WGPUPowerPreference_LowPower = 1,
    WGPUPowerPreference_HighPerformance = 2,
    WGPUPowerPreference_Force32 = 0x7FFFFFFF
} WGPUPowerPreference;

typedef enum WGPUBackendType {
    WGPUBackendType_Undefined = 0,
    WGPUBackendType_Null = 1,
    WGPUBackendType_WebGPU = 2,
    WGPUBackendType_D3D11 = 3,
    WGPUBackendType_D3D12 = 4,
    WGPUBackendType_Metal = 5,
    WGPUBackendType_Vulkan = 6,
    WGPUBackendType_OpenGL = 7,
    WGPUBackendType_OpenGLES = 8,
    WGPUBackendType_Force32 = 0x7FFFFFFF
} WGPUBackendType;

typedef enum WGPUFeatureLevel {
    WGPUFeatureLevel_Undefined = 0,
    WGPUFeatureLevel_Compatibility = 1,
    WGPUFeatureLevel_Core = 2,
    WGPUFeatureLevel_Force32 = 0x7FFFFFFF
} WGPUFeatureLevel;

// Needed only as the element type of WGPUDeviceDescriptor::requiredFeatures (we pass none).
typedef enum WGPUFeatureName {
    WGPUFeatureName_Force32 = 0x7FFFFFFF
} WGPUFeatureName;

typedef enum WGPUAdapterType {
    WGPUAdapterType_DiscreteGPU = 1,
    WGPUAdapterType_IntegratedGPU = 2,
    WGPUAdapterType_CPU = 3,
    WGPUAdapterType_Unknown = 4,
    WGPUAdapterType_Force32 = 0x7FFFFFFF
} WGPUAdapterType;

// Dawn numbers formats differently from the current public header; never hard-code the numbers.
typedef enum WGPUTextureFormat {
    WGPUTextureFormat_Undefined = 0,
    WGPUTextureFormat_R8Unorm = 1,
    WGPUTextureFormat_RGBA8Unorm = 18,
    WGPUTextureFormat_RGBA8UnormSrgb = 19,
    WGPUTextureFormat_BGRA8Unorm = 23,
    WGPUTextureFormat_BGRA8UnormSrgb = 24,
    WGPUTextureFormat_Depth32Float = 42,
    WGPUTextureFormat_Force32 = 0x7FFFFFFF
} WGPUTextureFormat;

typedef enum WGPUTextureDimension {
    WGPUTextureDimension_Undefined = 0,
    WGPUTextureDimension_1D = 1,
    WGPUTextureDimension_2D = 2,
    WGPUTextureDimension_3D = 3,
    WGPUTextureDimension_Force32 = 0x7FFFFFFF
} WGPUTextureDimension;

typedef enum WGPUTextureViewDimension {
    WGPUTextureViewDimension_Undefined = 0,
    WGPUTextureViewDimension_1D = 1,
    WGPUTextureViewDimension_2D = 2,
    WGPUTextureViewDimension_2DArray = 3,
    WGPUTextureViewDimension_Cube = 4,
    WGPUTextureViewDimension_CubeArray = 5,
    WGPUTextureViewDimension_3D = 6,
    WGPUTextureViewDimension_Force32 = 0x7FFFFFFF
} WGPUTextureViewDimension;

typedef enum WGPUTextureAspect {
    WGPUTextureAspect_Undefined = 0,
    WGPUTextureAspect_All = 1,
    WGPUTextureAspect_StencilOnly = 2,
    WGPUTextureAspect_DepthOnly = 3,
    WGPUTextureAspect_Force32 = 0x7FFFFFFF
} WGPUTextureAspect;

typedef enum WGPUAddressMode {
    WGPUAddressMode_Undefined = 0,
    WGPUAddressMode_ClampToEdge = 1,
    WGPUAddressMode_Repeat = 2,
    WGPUAddressMode_MirrorRepeat = 3,
    WGPUAddressMode_Force32 = 0x7FFFFFFF
} WGPUAddressMode;

typedef enum WGPUFilterMode {
    WGPUFilterMode_Undefined = 0,
    WGPUFilterMode_Nearest = 1,
    WGPUFilterMode_Linear = 2,
    WGPUFilterMode_Force32 = 0x7FFFFFFF
} WGPUFilterMode;

typedef enum WGPUMipmapFilterMode {
    WGPUMipmapFilterMode_Undefined = 0,
    WGPUMipmapFilterMode_Nearest = 1,
    WGPUMipmapFilterMode_Linear = 2,
    WGPUMipmapFilterMode_Force32 = 0x7FFFFFFF
} WGPUMipmapFilterMode;

typedef enum WGPUCompareFunction {
    WGPUCompareFunction_Undefined = 0,
    WGPUCompareFunction_Never = 1,
    WGPUCompareFunction_Less = 2,
    WGPUCompareFunction_Equal = 3,
    WGPUCompareFunction_LessEqual = 4,
    WGPUCompareFunction_Greater = 5,
    WGPUCompareFunction_NotEqual = 6,
    WGPUCompareFunction_GreaterEqual = 7,
    WGPUCompareFunction_Always = 8,
    WGPUCompareFunction_Force32 = 0x7FFFFFFF
} WGPUCompareFunction;

// Dawn has no 0/Undefined vertex format.
typedef enum WGPUVertexFormat {
    WGPUVertexFormat_Float32x2 = 29,
    WGPUVertexFormat_Float32x3 = 30,
    WGPUVertexFormat_Float32x4 = 31,
    WGPUVertexFormat_Force32 = 0x7FFFFFFF
} WGPUVertexFormat;

typedef enum WGPUVertexStepMode {
    WGPUVertexStepMode_Undefined = 0,
    WGPUVertexStepMode_Vertex = 1,
    WGPUVertexStepMode_Instance = 2,
    WGPUVertexStepMode_Force32 = 0x7FFFFFFF
} WGPUVertexStepMode;

typedef enum WGPUPrimitiveTopology {
    WGPUPrimitiveTopology_Undefined = 0,
    WGPUPrimitiveTopology_PointList = 1,
    WGPUPrimitiveTopology_LineList = 2,
    WGPUPrimitiveTopology_LineStrip = 3,
    WGPUPrimitiveTopology_TriangleList = 4,
    WGPUPrimitiveTopology_TriangleStrip = 5,
    WGPUPrimitiveTopology_Force32 = 0x7FFFFFFF
} WGPUPrimitiveTopology;

typedef enum WGPUIndexFormat {
    WGPUIndexFormat_Undefined = 0,
    WGPUIndexFormat_Uint16 = 1,
    WGPUIndexFormat_Uint32 = 2,
    WGPUIndexFormat_Force32 = 0x7FFFFFFF
} WGPUIndexFormat;

typedef enum WGPUFrontFace {
    WGPUFrontFace_Undefined = 0,
    WGPUFrontFace_CCW = 1,
    WGPUFrontFace_CW = 2,
    WGPUFrontFace_Force32 = 0x7FFFFFFF
} WGPUFrontFace;

typedef enum WGPUCullMode {
    WGPUCullMode_Undefined = 0,
    WGPUCullMode_None = 1,
    WGPUCullMode_Front = 2,
    WGPUCullMode_Back = 3,
    WGPUCullMode_Force32 = 0x7FFFFFFF
} WGPUCullMode;

typedef enum WGPUStencilOperation {
    WGPUStencilOperation_Undefined = 0,
    WGPUStencilOperation_Keep = 1,
    WGPUStencilOperation_Zero = 2,
    WGPUStencilOperation_Replace = 3,
    WGPUStencilOperation_Invert = 4,
    WGPUStencilOperation_IncrementClamp = 5,
    WGPUStencilOperation_DecrementClamp = 6,
    WGPUStencilOperation_IncrementWrap = 7,
    WGPUStencilOperation_DecrementWrap = 8,
    WGPUStencilOperation_Force32 = 0x7FFFFFFF
} WGPUStencilOperation;

typedef enum WGPUBlendOperation {
    WGPUBlendOperation_Undefined = 0,
    WGPUBlendOperation_Add = 1,
    WGPUBlendOperation_Subtract = 2,
    WGPUBlendOperation_ReverseSubtract = 3,
    WGPUBlendOperation_Min = 4,
    WGPUBlendOperation_Max = 5,
    WGPUBlendOperation_Force32 = 0x7FFFFFFF
} WGPUBlendOperation;

typedef enum WGPUBlendFactor {
    WGPUBlendFactor_Undefined = 0,
    WGPUBlendFactor_Zero = 1,
    WGPUBlendFactor_One = 2,
    WGPUBlendFactor_SrcAlpha = 5,
    WGPUBlendFactor_OneMinusSrcAlpha = 6,
    WGPUBlendFactor_Force32 = 0x7FFFFFFF
} WGPUBlendFactor;

typedef enum WGPUOptionalBool {
    WGPUOptionalBool_False = 0,
    WGPUOptionalBool_True = 1,
    WGPUOptionalBool_Undefined = 2,
    WGPUOptionalBool_Force32 = 0x7FFFFFFF
} WGPUOptionalBool;

typedef enum WGPULoadOp {
    WGPULoadOp_Undefined = 0,
    WGPULoadOp_Load = 1,
    WGPULoadOp_Clear = 2,
    WGPULoadOp_Force32 = 0x7FFFFFFF
} WGPULoadOp;

typedef enum WGPUStoreOp {
    WGPUStoreOp_Undefined = 0,
    WGPUStoreOp_Store = 1,
    WGPUStoreOp_Discard = 2,
    WGPUStoreOp_Force32 = 0x7FFFFFFF
} WGPUStoreOp;

typedef enum WGPUPresentMode {
    WGPUPresentMode_Undefined = 0,
    WGPUPresentMode_Fifo = 1,
    WGPUPresentMode_Force32 = 0x7FFFFFFF
} WGPUPresentMode;

typedef enum WGPUCompositeAlphaMode {
    WGPUCompositeAlphaMode_Auto = 0,
    WGPUCompositeAlphaMode_Force32 = 0x7FFFFFFF
} WGPUCompositeAlphaMode;

typedef enum WGPUSurfaceGetCurrentTextureStatus {
    WGPUSurfaceGetCurrentTextureStatus_SuccessOptimal = 1,
    WGPUSurfaceGetCurrentTextureStatus_SuccessSuboptimal = 2,
    WGPUSurfaceGetCurrentTextureStatus_Timeout = 3,
    WGPUSurfaceGetCurrentTextureStatus_Outdated = 4,
    WGPUSurfaceGetCurrentTextureStatus_Lost = 5,
    WGPUSurfaceGetCurrentTextureStatus_Error = 6,
    WGPUSurfaceGetCurrentTextureStatus_Force32 = 0x7FFFFFFF
} WGPUSurfaceGetCurrentTextureStatus;

// ---- Bit flags (64-bit) -------------------------------------------------------

typedef WGPUFlags WGPUBufferUsage;
static const WGPUBufferUsage WGPUBufferUsage_None = 0x0000000000000000;
static const WGPUBufferUsage WGPUBufferUsage_MapRead = 0x0000000000000001;
static const WGPUBufferUsage WGPUBufferUsage_MapWrite = 0x0000000000000002;
static const WGPUBufferUsage WGPUBufferUsage_CopySrc = 0x0000000000000004;
static const WGPUBufferUsage WGPUBufferUsage_CopyDst = 0x0000000000000008;
static const WGPUBufferUsage WGPUBufferUsage_Index = 0x0000000000000010;
static const WGPUBufferUsage WGPUBufferUsage_Vertex = 0x0000000000000020;
static const WGPUBufferUsage WGPUBufferUsage_Uniform = 0x0000000000000040;
static const WGPUBufferUsage WGPUBufferUsage_Storage = 0x0000000000000080;
static const WGPUBufferUsage WGPUBufferUsage_Indirect = 0x0000000000000100;
static const WGPUBufferUsage WGPUBufferUsage_QueryResolve = 0x0000000000000200;

typedef WGPUFlags WGPUTextureUsage;
static const WGPUTextureUsage WGPUTextureUsage_None = 0x0000000000000000;
static const WGPUTextureUsage WGPUTextureUsage_CopySrc = 0x0000000000000001;
static const WGPUTextureUsage WGPUTextureUsage_CopyDst = 0x0000000000000002;
static const WGPUTextureUsage WGPUTextureUsage_TextureBinding = 0x0000000000000004;
static const WGPUTextureUsage WGPUTextureUsage_StorageBinding = 0x0000000000000008;
static const WGPUTextureUsage WGPUTextureUsage_RenderAttachment = 0x0000000000000010;

typedef WGPUFlags WGPUColorWriteMask;
static const WGPUColorWriteMask WGPUColorWriteMask_None = 0x0000000000000000;
static const WGPUColorWriteMask WGPUColorWriteMask_Red = 0x0000000000000001;
static const WGPUColorWriteMask WGPUColorWriteMask_Green = 0x0000000000000002;
static const WGPUColorWriteMask WGPUColorWriteMask_Blue = 0x0000000000000004;
static const WGPUColorWriteMask WGPUColorWriteMask_Alpha = 0x0000000000000008;
static const WGPUColorWriteMask WGPUColorWriteMask_All = 0x000000000000000F;

// ---- Basic structs -------------------------------------------------------------

typedef struct WGPUStringView {
    const char* data;  // may be NULL
    size_t length;     // WGPU_STRLEN means NUL-terminated
} WGPUStringView;

typedef struct WGPUChainedStruct {
    struct WGPUChainedStruct* next;
    WGPUSType sType;
} WGPUChainedStruct;

typedef struct WGPUFuture {
    uint64_t id;
} WGPUFuture;

typedef struct WGPUExtent3D {
    uint32_t width;
    uint32_t height;
    uint32_t depthOrArrayLayers;
} WGPUExtent3D;

typedef struct WGPUOrigin3D {
    uint32_t x;
    uint32_t y;
    uint32_t z;
} WGPUOrigin3D;

typedef struct WGPUColor {
    double r;
    double g;
    double b;
    double a;
} WGPUColor;

// ---- Callbacks -----------------------------------------------------------------

typedef void (*WGPURequestAdapterCallback)(WGPURequestAdapterStatus status, WGPUAdapter adapter,
                                           WGPUStringView message, void* userdata1, void* userdata2);
typedef void (*WGPURequestDeviceCallback)(WGPURequestDeviceStatus status, WGPUDevice device,
                                          WGPUStringView message, void* userdata1, void* userdata2);
typedef void (*WGPUDeviceLostCallback)(WGPUDevice const* device, WGPUDeviceLostReason reason,
                                       WGPUStringView message, void* userdata1, void* userdata2);
typedef void (*WGPUUncapturedErrorCallback)(WGPUDevice const* device, WGPUErrorType type,
                                            WGPUStringView message, void* userdata1, void* userdata2);

typedef struct WGPURequestAdapterCallbackInfo {
    WGPUChainedStruct* nextInChain;
    WGPUCallbackMode mode;
    WGPURequestAdapterCallback callback;
    void* userdata1;
    void* userdata2;
} WGPURequestAdapterCallbackInfo;

typedef struct WGPURequestDeviceCallbackInfo {
    WGPUChainedStruct* nextInChain;
    WGPUCallbackMode mode;
    WGPURequestDeviceCallback callback;
    void* userdata1;
    void* userdata2;
} WGPURequestDeviceCallbackInfo;

typedef struct WGPUDeviceLostCallbackInfo {
    WGPUChainedStruct* nextInChain;
    WGPUCallbackMode mode;
    WGPUDeviceLostCallback callback;
    void* userdata1;
    void* userdata2;
} WGPUDeviceLostCallbackInfo;

// No mode: the uncaptured-error callback may fire at any time.
typedef struct WGPUUncapturedErrorCallbackInfo {
    WGPUChainedStruct* nextInChain;
    WGPUUncapturedErrorCallback callback;
    void* userdata1;
    void* userdata2;
} WGPUUncapturedErrorCallbackInfo;

// ---- Instance, adapter, device ------------------------------------------------

// This Dawn generation still has the "capabilities" member (later headers replaced it).
typedef struct WGPUInstanceCapabilities {
    WGPUChainedStruct* nextInChain;
    WGPUBool timedWaitAnyEnable;
    size_t timedWaitAnyMaxCount;
} WGPUInstanceCapabilities;

typedef struct WGPUInstanceDescriptor {
    WGPUChainedStruct* nextInChain;
    WGPUInstanceCapabilities capabilities;
} WGPUInstanceDescriptor;

typedef struct WGPURequestAdapterOptions {
    WGPUChainedStruct* nextInChain;
    WGPUFeatureLevel featureLevel;
    WGPUPowerPreference powerPreference;
    WGPUBool forceFallbackAdapter;
    WGPUBackendType backendType;
    WGPUSurface compatibleSurface;  // may be NULL
} WGPURequestAdapterOptions;

typedef struct WGPUAdapterInfo {
    WGPUChainedStruct* nextInChain;
    WGPUStringView vendor;
    WGPUStringView architecture;
    WGPUStringView device;
    WGPUStringView description;
    WGPUBackendType backendType;
    WGPUAdapterType adapterType;
    uint32_t vendorID;
    uint32_t deviceID;
    uint32_t subgroupMinSize;
    uint32_t subgroupMaxSize;
} WGPUAdapterInfo;

// A device's limits. In a device request, a field left at its _UNDEFINED value asks for the default.
typedef struct WGPULimits {
    WGPUChainedStruct* nextInChain;
    uint32_t maxTextureDimension1D;
    uint32_t maxTextureDimension2D;
    uint32_t maxTextureDimension3D;
    uint32_t maxTextureArrayLayers;
    uint32_t maxBindGroups;
    uint32_t maxBindGroupsPlusVertexBuffers;
    uint32_t maxBindingsPerBindGroup;
    uint32_t maxDynamicUniformBuffersPerPipelineLayout;
    uint32_t maxDynamicStorageBuffersPerPipelineLayout;
    uint32_t maxSampledTexturesPerShaderStage;
    uint32_t maxSamplersPerShaderStage;
    uint32_t maxStorageBuffersPerShaderStage;
    uint32_t maxStorageTexturesPerShaderStage;
    uint32_t maxUniformBuffersPerShaderStage;
    uint64_t maxUniformBufferBindingSize;
    uint64_t maxStorageBufferBindingSize;
    uint32_t minUniformBufferOffsetAlignment;
    uint32_t minStorageBufferOffsetAlignment;
    uint32_t maxVertexBuffers;
    uint64_t maxBufferSize;
    uint32_t maxVertexAttributes;
    uint32_t maxVertexBufferArrayStride;
    uint32_t maxInterStageShaderVariables;
    uint32_t maxColorAttachments;
    uint32_t maxColorAttachmentBytesPerSample;
    uint32_t maxComputeWorkgroupStorageSize;
    uint32_t maxComputeInvocationsPerWorkgroup;
    uint32_t maxComputeWorkgroupSizeX;
    uint32_t maxComputeWorkgroupSizeY;
    uint32_t maxComputeWorkgroupSizeZ;
    uint32_t maxComputeWorkgroupsPerDimension;
    uint32_t maxImmediateSize;
    uint32_t maxStorageBuffersInVertexStage;
    uint32_t maxStorageTexturesInVertexStage;
    uint32_t maxStorageBuffersInFragmentStage;
    uint32_t maxStorageTexturesInFragmentStage;
} WGPULimits;

typedef struct WGPUQueueDescriptor {
    WGPUChainedStruct* nextInChain;
    WGPUStringView label;
} WGPUQueueDescriptor;

typedef struct WGPUDeviceDescriptor {
    WGPUChainedStruct* nextInChain;
    WGPUStringView label;
    size_t requiredFeatureCount;
    WGPUFeatureName const* requiredFeatures;
    WGPULimits const* requiredLimits;  // may be NULL
    WGPUQueueDescriptor defaultQueue;
    WGPUDeviceLostCallbackInfo deviceLostCallbackInfo;
    WGPUUncapturedErrorCallbackInfo uncapturedErrorCallbackInfo;
} WGPUDeviceDescriptor;

// ---- Surface -------------------------------------------------------------------

typedef struct WGPUSurfaceDescriptor {
    WGPUChainedStruct* nextInChain;  // one of the WGPUSurfaceSource* structs
    WGPUStringView label;
} WGPUSurfaceDescriptor;

typedef struct WGPUSurfaceSourceWindowsHWND {
    WGPUChainedStruct chain;
    void* hinstance;
    void* hwnd;
} WGPUSurfaceSourceWindowsHWND;

typedef struct WGPUSurfaceSourceXlibWindow {
    WGPUChainedStruct chain;
    void* display;
    uint64_t window;
} WGPUSurfaceSourceXlibWindow;

typedef struct WGPUSurfaceSourceWaylandSurface {
    WGPUChainedStruct chain;
    void* display;
    void* surface;
} WGPUSurfaceSourceWaylandSurface;

// Output struct; in this generation the chain pointer is a plain WGPUChainedStruct*.
typedef struct WGPUSurfaceCapabilities {
    WGPUChainedStruct* nextInChain;
    WGPUTextureUsage usages;
    size_t formatCount;
    WGPUTextureFormat const* formats;
    size_t presentModeCount;
    WGPUPresentMode const* presentModes;
    size_t alphaModeCount;
    WGPUCompositeAlphaMode const* alphaModes;
} WGPUSurfaceCapabilities;

typedef struct WGPUSurfaceConfiguration {
    WGPUChainedStruct* nextInChain;
    WGPUDevice device;
    WGPUTextureFormat format;
    WGPUTextureUsage usage;
    uint32_t width;
    uint32_t height;
    size_t viewFormatCount;
    WGPUTextureFormat const* viewFormats;
    WGPUCompositeAlphaMode alphaMode;
    WGPUPresentMode presentMode;
} WGPUSurfaceConfiguration;

typedef struct WGPUSurfaceTexture {
    WGPUChainedStruct* nextInChain;
    WGPUTexture texture;
    WGPUSurfaceGetCurrentTextureStatus status;
} WGPUSurfaceTexture;

// ---- Resources -----------------------------------------------------------------

typedef struct WGPUBufferDescriptor {
    WGPUChainedStruct* nextInChain;
    WGPUStringView label;
    WGPUBufferUsage usage;
    uint64_t size;
    WGPUBool mappedAtCreation;
} WGPUBufferDescriptor;

typedef struct WGPUTextureDescriptor {
    WGPUChainedStruct* nextInChain;
    WGPUStringView label;
    WGPUTextureUsage usage;
    WGPUTextureDimension dimension;
    WGPUExtent3D size;
    WGPUTextureFormat format;
    uint32_t mipLevelCount;
    uint32_t sampleCount;
    size_t viewFormatCount;
    WGPUTextureFormat const* viewFormats;
} WGPUTextureDescriptor;

typedef struct WGPUTextureViewDescriptor {
    WGPUChainedStruct* nextInChain;
    WGPUStringView label;
    WGPUTextureFormat format;
    WGPUTextureViewDimension dimension;
    uint32_t baseMipLevel;
    uint32_t mipLevelCount;
    uint32_t baseArrayLayer;
    uint32_t arrayLayerCount;
    WGPUTextureAspect aspect;
    WGPUTextureUsage usage;
} WGPUTextureViewDescriptor;

typedef struct WGPUSamplerDescriptor {
    WGPUChainedStruct* nextInChain;
    WGPUStringView label;
    WGPUAddressMode addressModeU;
    WGPUAddressMode addressModeV;
    WGPUAddressMode addressModeW;
    WGPUFilterMode magFilter;
    WGPUFilterMode minFilter;
    WGPUMipmapFilterMode mipmapFilter;
    float lodMinClamp;
    float lodMaxClamp;
    WGPUCompareFunction compare;
    uint16_t maxAnisotropy;
} WGPUSamplerDescriptor;

typedef struct WGPUShaderModuleDescriptor {
    WGPUChainedStruct* nextInChain;  // WGPUShaderSourceWGSL
    WGPUStringView label;
} WGPUShaderModuleDescriptor;

typedef struct WGPUShaderSourceWGSL {
    WGPUChainedStruct chain;
    WGPUStringView code;
} WGPUShaderSourceWGSL;

typedef struct WGPUBindGroupEntry {
    WGPUChainedStruct* nextInChain;
    uint32_t binding;
    WGPUBuffer buffer;  // exactly one of buffer / sampler / textureView is set
    uint64_t offset;
    uint64_t size;
    WGPUSampler sampler;
    WGPUTextureView textureView;
} WGPUBindGroupEntry;

typedef struct WGPUBindGroupDescriptor {
    WGPUChainedStruct* nextInChain;
    WGPUStringView label;
    WGPUBindGroupLayout layout;
    size_t entryCount;
    WGPUBindGroupEntry const* entries;
} WGPUBindGroupDescriptor;

// ---- Render pipeline -----------------------------------------------------------

typedef struct WGPUConstantEntry {
    WGPUChainedStruct* nextInChain;
    WGPUStringView key;
    double value;
} WGPUConstantEntry;

typedef struct WGPUVertexAttribute {
    WGPUChainedStruct* nextInChain;
    WGPUVertexFormat format;
    uint64_t offset;
    uint32_t shaderLocation;
} WGPUVertexAttribute;

typedef struct WGPUVertexBufferLayout {
    WGPUChainedStruct* nextInChain;
    WGPUVertexStepMode stepMode;
    uint64_t arrayStride;
    size_t attributeCount;
    WGPUVertexAttribute const* attributes;
} WGPUVertexBufferLayout;

typedef struct WGPUVertexState {
    WGPUChainedStruct* nextInChain;
    WGPUShaderModule module;
    WGPUStringView entryPoint;
    size_t constantCount;
    WGPUConstantEntry const* constants;
    size_t bufferCount;
    WGPUVertexBufferLayout const* buffers;
} WGPUVertexState;

typedef struct WGPUPrimitiveState {
    WGPUChainedStruct* nextInChain;
    WGPUPrimitiveTopology topology;
    WGPUIndexFormat stripIndexFormat;
    WGPUFrontFace frontFace;
    WGPUCullMode cullMode;
    WGPUBool unclippedDepth;
} WGPUPrimitiveState;

typedef struct WGPUStencilFaceState {
    WGPUCompareFunction compare;
    WGPUStencilOperation failOp;
    WGPUStencilOperation depthFailOp;
    WGPUStencilOperation passOp;
} WGPUStencilFaceState;

typedef struct WGPUDepthStencilState {
    WGPUChainedStruct* nextInChain;
    WGPUTextureFormat format;
    WGPUOptionalBool depthWriteEnabled;
    WGPUCompareFunction depthCompare;
    WGPUStencilFaceState stencilFront;
    WGPUStencilFaceState stencilBack;
    uint32_t stencilReadMask;
    uint32_t stencilWriteMask;
    int32_t depthBias;
    float depthBiasSlopeScale;
    float depthBiasClamp;
} WGPUDepthStencilState;

typedef struct WGPUMultisampleState {
    WGPUChainedStruct* nextInChain;
    uint32_t count;
    uint32_t mask;
    WGPUBool alphaToCoverageEnabled;
} WGPUMultisampleState;

typedef struct WGPUBlendComponent {
    WGPUBlendOperation operation;
    WGPUBlendFactor srcFactor;
    WGPUBlendFactor dstFactor;
} WGPUBlendComponent;

typedef struct WGPUBlendState {
    WGPUBlendComponent color;
    WGPUBlendComponent alpha;
} WGPUBlendState;

typedef struct WGPUColorTargetState {
    WGPUChainedStruct* nextInChain;
    WGPUTextureFormat format;
    WGPUBlendState const* blend;  // may be NULL
    WGPUColorWriteMask writeMask;
} WGPUColorTargetState;

typedef struct WGPUFragmentState {
    WGPUChainedStruct* nextInChain;
    WGPUShaderModule module;
    WGPUStringView entryPoint;
    size_t constantCount;
    WGPUConstantEntry const* constants;
    size_t targetCount;
    WGPUColorTargetState const* targets;
} WGPUFragmentState;

typedef struct WGPURenderPipelineDescriptor {
    WGPUChainedStruct* nextInChain;
    WGPUStringView label;
    WGPUPipelineLayout layout;  // NULL: layout derived from the shaders
    WGPUVertexState vertex;
    WGPUPrimitiveState primitive;
    WGPUDepthStencilState const* depthStencil;  // may be NULL
    WGPUMultisampleState multisample;
    WGPUFragmentState const* fragment;  // may be NULL
} WGPURenderPipelineDescriptor;

// ---- Copies, commands, passes --------------------------------------------------

// This generation already uses the TexelCopy* names (not ImageCopyTexture/TextureDataLayout).
typedef struct WGPUTexelCopyTextureInfo {
    WGPUTexture texture;
    uint32_t mipLevel;
    WGPUOrigin3D origin;
    WGPUTextureAspect aspect;
} WGPUTexelCopyTextureInfo;

typedef struct WGPUTexelCopyBufferLayout {
    uint64_t offset;
    uint32_t bytesPerRow;
    uint32_t rowsPerImage;
} WGPUTexelCopyBufferLayout;

typedef struct WGPUCommandEncoderDescriptor {
    WGPUChainedStruct* nextInChain;
    WGPUStringView label;
} WGPUCommandEncoderDescriptor;

typedef struct WGPUCommandBufferDescriptor {
    WGPUChainedStruct* nextInChain;
    WGPUStringView label;
} WGPUCommandBufferDescriptor;

typedef struct WGPURenderPassColorAttachment {
    WGPUChainedStruct* nextInChain;
    WGPUTextureView view;
    uint32_t depthSlice;  // WGPU_DEPTH_SLICE_UNDEFINED for 2D targets
    WGPUTextureView resolveTarget;
    WGPULoadOp loadOp;
    WGPUStoreOp storeOp;
    WGPUColor clearValue;
} WGPURenderPassColorAttachment;

typedef struct WGPURenderPassDepthStencilAttachment {
    WGPUChainedStruct* nextInChain;
    WGPUTextureView view;
    WGPULoadOp depthLoadOp;
    WGPUStoreOp depthStoreOp;
    float depthClearValue;
    WGPUBool depthReadOnly;
    WGPULoadOp stencilLoadOp;  // must stay Undefined for depth-only formats
    WGPUStoreOp stencilStoreOp;
    uint32_t stencilClearValue;
    WGPUBool stencilReadOnly;
} WGPURenderPassDepthStencilAttachment;

typedef struct WGPURenderPassDescriptor {
    WGPUChainedStruct* nextInChain;
    WGPUStringView label;
    size_t colorAttachmentCount;
    WGPURenderPassColorAttachment const* colorAttachments;
    WGPURenderPassDepthStencilAttachment const* depthStencilAttachment;  // may be NULL
    WGPUQuerySet occlusionQuerySet;                                      // may be NULL
    WGPUPassTimestampWrites const* timestampWrites;                      // may be NULL
} WGPURenderPassDescriptor;

// ---- Functions -----------------------------------------------------------------

WGPUInstance wgpuCreateInstance(WGPUInstanceDescriptor const* descriptor);  // descriptor may be NULL
WGPUSurface wgpuInstanceCreateSurface(WGPUInstance instance, WGPUSurfaceDescriptor const* descriptor);
WGPUFuture wgpuInstanceRequestAdapter(WGPUInstance instance, WGPURequestAdapterOptions const* options,
                                      WGPURequestAdapterCallbackInfo callbackInfo);
void wgpuInstanceProcessEvents(WGPUInstance instance);
void wgpuInstanceRelease(WGPUInstance instance);

WGPUFuture wgpuAdapterRequestDevice(WGPUAdapter adapter, WGPUDeviceDescriptor const* descriptor,
                                    WGPURequestDeviceCallbackInfo callbackInfo);
WGPUStatus wgpuAdapterGetInfo(WGPUAdapter adapter, WGPUAdapterInfo* info);
WGPUStatus wgpuAdapterGetLimits(WGPUAdapter adapter, WGPULimits* limits);
void wgpuAdapterInfoFreeMembers(WGPUAdapterInfo adapterInfo);
void wgpuAdapterRelease(WGPUAdapter adapter);

WGPUQueue wgpuDeviceGetQueue(WGPUDevice device);
WGPUBuffer wgpuDeviceCreateBuffer(WGPUDevice device, WGPUBufferDescriptor const* descriptor);
WGPUTexture wgpuDeviceCreateTexture(WGPUDevice device, WGPUTextureDescriptor const* descriptor);
WGPUSampler wgpuDeviceCreateSampler(WGPUDevice device, WGPUSamplerDescriptor const* descriptor);
WGPUShaderModule wgpuDeviceCreateShaderModule(WGPUDevice device, WGPUShaderModuleDescriptor const* descriptor);
WGPURenderPipeline wgpuDeviceCreateRenderPipeline(WGPUDevice device,
                                                  WGPURenderPipelineDescriptor const* descriptor);
WGPUBindGroup wgpuDeviceCreateBindGroup(WGPUDevice device, WGPUBindGroupDescriptor const* descriptor);
WGPUCommandEncoder wgpuDeviceCreateCommandEncoder(WGPUDevice device,
                                                  WGPUCommandEncoderDescriptor const* descriptor);
void wgpuDeviceRelease(WGPUDevice device);

WGPUStatus wgpuSurfaceGetCapabilities(WGPUSurface surface, WGPUAdapter adapter,
                                      WGPUSurfaceCapabilities* capabilities);
void wgpuSurfaceCapabilitiesFreeMembers(WGPUSurfaceCapabilities surfaceCapabilities);
void wgpuSurfaceConfigure(WGPUSurface surface, WGPUSurfaceConfiguration const* config);
void wgpuSurfaceGetCurrentTexture(WGPUSurface surface, WGPUSurfaceTexture* surfaceTexture);
// Returns nothing in this build (the current public header returns WGPUStatus).
void wgpuSurfacePresent(WGPUSurface surface);
void wgpuSurfaceRelease(WGPUSurface surface);

WGPUTextureView wgpuTextureCreateView(WGPUTexture texture, WGPUTextureViewDescriptor const* descriptor);
void wgpuTextureDestroy(WGPUTexture texture);
void wgpuTextureRelease(WGPUTexture texture);
void wgpuTextureViewRelease(WGPUTextureView textureView);
void wgpuBufferRelease(WGPUBuffer buffer);
void wgpuSamplerRelease(WGPUSampler sampler);
void wgpuShaderModuleRelease(WGPUShaderModule shaderModule);

WGPUBindGroupLayout wgpuRenderPipelineGetBindGroupLayout(WGPURenderPipeline renderPipeline, uint32_t groupIndex);
void wgpuRenderPipelineRelease(WGPURenderPipeline renderPipeline);
void wgpuBindGroupLayoutRelease(WGPUBindGroupLayout bindGroupLayout);
void wgpuBindGroupRelease(WGPUBindGroup bindGroup);

void wgpuQueueWriteBuffer(WGPUQueue queue, WGPUBuffer buffer, uint64_t bufferOffset, void const* data,
                          size_t size);
void wgpuQueueWriteTexture(WGPUQueue queue, WGPUTexelCopyTextureInfo const* destination, void const* data,
                           size_t dataSize, WGPUTexelCopyBufferLayout const* dataLayout,
                           WGPUExtent3D const* writeSize);
void wgpuQueueSubmit(WGPUQueue queue, size_t commandCount, WGPUCommandBuffer const* commands);
void wgpuQueueRelease(WGPUQueue queue);

WGPURenderPassEncoder wgpuCommandEncoderBeginRenderPass(WGPUCommandEncoder commandEncoder,
                                                        WGPURenderPassDescriptor const* descriptor);
WGPUCommandBuffer wgpuCommandEncoderFinish(WGPUCommandEncoder commandEncoder,
                                           WGPUCommandBufferDescriptor const* descriptor);
void wgpuCommandEncoderRelease(WGPUCommandEncoder commandEncoder);
void wgpuCommandBufferRelease(WGPUCommandBuffer commandBuffer);

void wgpuRenderPassEncoderSetPipeline(WGPURenderPassEncoder renderPassEncoder, WGPURenderPipeline pipeline);
void wgpuRenderPassEncoderSetBindGroup(WGPURenderPassEncoder renderPassEncoder, uint32_t groupIndex,
                                       WGPUBindGroup group, size_t dynamicOffsetCount,
                                       uint32_t const* dynamicOffsets);
void wgpuRenderPassEncoderSetVertexBuffer(WGPURenderPassEncoder renderPassEncoder, uint32_t slot,
                                          WGPUBuffer buffer, uint64_t offset, uint64_t size);
void wgpuRenderPassEncoderDraw(WGPURenderPassEncoder renderPassEncoder, uint32_t vertexCount,
                               uint32_t instanceCount, uint32_t firstVertex, uint32_t firstInstance);
void wgpuRenderPassEncoderEnd(WGPURenderPassEncoder renderPassEncoder);
void wgpuRenderPassEncoderRelease(WGPURenderPassEncoder renderPassEncoder);

#if defined(__cplusplus)
}  // extern "C"
#endif

// ---- Layout checks (numbers are for 64-bit pointers, as in the pinned x86_64 build) ----
// Expected numbers were computed independently from the field lists the library's own
// bindings use; a mismatch means this header no longer describes the pinned build.

#if defined(__cplusplus)
#define VZ_WGPU_ABI_CHECK(cond) static_assert(cond, #cond)
#else
#define VZ_WGPU_ABI_CHECK(cond) _Static_assert(cond, #cond)
#endif

#if UINTPTR_MAX == 0xFFFFFFFFFFFFFFFFu
VZ_WGPU_ABI_CHECK(sizeof(WGPUStringView) == 16);
VZ_WGPU_ABI_CHECK(sizeof(WGPUChainedStruct) == 16);
VZ_WGPU_ABI_CHECK(offsetof(WGPUChainedStruct, sType) == 8);
VZ_WGPU_ABI_CHECK(sizeof(WGPUFuture) == 8);
VZ_WGPU_ABI_CHECK(sizeof(WGPUExtent3D) == 12);
VZ_WGPU_ABI_CHECK(sizeof(WGPUOrigin3D) == 12);
VZ_WGPU_ABI_CHECK(sizeof(WGPUColor) == 32);

VZ_WGPU_ABI_CHECK(sizeof(WGPURequestAdapterCallbackInfo) == 40);
VZ_WGPU_ABI_CHECK(offsetof(WGPURequestAdapterCallbackInfo, callback) == 16);
VZ_WGPU_ABI_CHECK(sizeof(WGPURequestDeviceCallbackInfo) == 40);
VZ_WGPU_ABI_CHECK(sizeof(WGPUDeviceLostCallbackInfo) == 40);
VZ_WGPU_ABI_CHECK(sizeof(WGPUUncapturedErrorCallbackInfo) == 32);
VZ_WGPU_ABI_CHECK(offsetof(WGPUUncapturedErrorCallbackInfo, callback) == 8);

VZ_WGPU_ABI_CHECK(sizeof(WGPUTextureFormat) == 4);  // every enum field is a 32-bit slot
VZ_WGPU_ABI_CHECK(sizeof(WGPUInstanceCapabilities) == 24);
VZ_WGPU_ABI_CHECK(sizeof(WGPUInstanceDescriptor) == 32);
VZ_WGPU_ABI_CHECK(offsetof(WGPUInstanceDescriptor, capabilities) == 8);
VZ_WGPU_ABI_CHECK(sizeof(WGPURequestAdapterOptions) == 32);
VZ_WGPU_ABI_CHECK(offsetof(WGPURequestAdapterOptions, backendType) == 20);
VZ_WGPU_ABI_CHECK(offsetof(WGPURequestAdapterOptions, compatibleSurface) == 24);
VZ_WGPU_ABI_CHECK(sizeof(WGPUAdapterInfo) == 96);
VZ_WGPU_ABI_CHECK(offsetof(WGPUAdapterInfo, description) == 56);
VZ_WGPU_ABI_CHECK(offsetof(WGPUAdapterInfo, backendType) == 72);
VZ_WGPU_ABI_CHECK(sizeof(WGPULimits) == 168);
VZ_WGPU_ABI_CHECK(offsetof(WGPULimits, maxTextureDimension2D) == 12);
VZ_WGPU_ABI_CHECK(offsetof(WGPULimits, maxUniformBufferBindingSize) == 64);
VZ_WGPU_ABI_CHECK(offsetof(WGPULimits, maxBufferSize) == 96);
VZ_WGPU_ABI_CHECK(offsetof(WGPULimits, maxStorageTexturesInFragmentStage) == 164);
VZ_WGPU_ABI_CHECK(sizeof(WGPUQueueDescriptor) == 24);
VZ_WGPU_ABI_CHECK(sizeof(WGPUDeviceDescriptor) == 144);
VZ_WGPU_ABI_CHECK(offsetof(WGPUDeviceDescriptor, requiredLimits) == 40);
VZ_WGPU_ABI_CHECK(offsetof(WGPUDeviceDescriptor, defaultQueue) == 48);
VZ_WGPU_ABI_CHECK(offsetof(WGPUDeviceDescriptor, deviceLostCallbackInfo) == 72);
VZ_WGPU_ABI_CHECK(offsetof(WGPUDeviceDescriptor, uncapturedErrorCallbackInfo) == 112);

VZ_WGPU_ABI_CHECK(sizeof(WGPUSurfaceDescriptor) == 24);
VZ_WGPU_ABI_CHECK(sizeof(WGPUSurfaceSourceWindowsHWND) == 32);
VZ_WGPU_ABI_CHECK(sizeof(WGPUSurfaceSourceXlibWindow) == 32);
VZ_WGPU_ABI_CHECK(offsetof(WGPUSurfaceSourceXlibWindow, window) == 24);
VZ_WGPU_ABI_CHECK(sizeof(WGPUSurfaceSourceWaylandSurface) == 32);
VZ_WGPU_ABI_CHECK(sizeof(WGPUSurfaceCapabilities) == 64);
VZ_WGPU_ABI_CHECK(offsetof(WGPUSurfaceCapabilities, formatCount) == 16);
VZ_WGPU_ABI_CHECK(sizeof(WGPUSurfaceConfiguration) == 64);
VZ_WGPU_ABI_CHECK(offsetof(WGPUSurfaceConfiguration, usage) == 24);
VZ_WGPU_ABI_CHECK(offsetof(WGPUSurfaceConfiguration, width) == 32);
VZ_WGPU_ABI_CHECK(offsetof(WGPUSurfaceConfiguration, alphaMode) == 56);
VZ_WGPU_ABI_CHECK(offsetof(WGPUSurfaceConfiguration, presentMode) == 60);
VZ_WGPU_ABI_CHECK(sizeof(WGPUSurfaceTexture) == 24);
VZ_WGPU_ABI_CHECK(offsetof(WGPUSurfaceTexture, status) == 16);

VZ_WGPU_ABI_CHECK(sizeof(WGPUBufferDescriptor) == 48);
VZ_WGPU_ABI_CHECK(offsetof(WGPUBufferDescriptor, usage) == 24);
VZ_WGPU_ABI_CHECK(offsetof(WGPUBufferDescriptor, mappedAtCreation) == 40);
VZ_WGPU_ABI_CHECK(sizeof(WGPUTextureDescriptor) == 80);
VZ_WGPU_ABI_CHECK(offsetof(WGPUTextureDescriptor, dimension) == 32);
VZ_WGPU_ABI_CHECK(offsetof(WGPUTextureDescriptor, size) == 36);
VZ_WGPU_ABI_CHECK(offsetof(WGPUTextureDescriptor, format) == 48);
VZ_WGPU_ABI_CHECK(offsetof(WGPUTextureDescriptor, viewFormatCount) == 64);
VZ_WGPU_ABI_CHECK(sizeof(WGPUTextureViewDescriptor) == 64);
VZ_WGPU_ABI_CHECK(offsetof(WGPUTextureViewDescriptor, aspect) == 48);
VZ_WGPU_ABI_CHECK(offsetof(WGPUTextureViewDescriptor, usage) == 56);
VZ_WGPU_ABI_CHECK(sizeof(WGPUSamplerDescriptor) == 64);
VZ_WGPU_ABI_CHECK(offsetof(WGPUSamplerDescriptor, lodMinClamp) == 48);
VZ_WGPU_ABI_CHECK(offsetof(WGPUSamplerDescriptor, compare) == 56);
VZ_WGPU_ABI_CHECK(offsetof(WGPUSamplerDescriptor, maxAnisotropy) == 60);
VZ_WGPU_ABI_CHECK(sizeof(WGPUShaderModuleDescriptor) == 24);
VZ_WGPU_ABI_CHECK(sizeof(WGPUShaderSourceWGSL) == 32);
VZ_WGPU_ABI_CHECK(offsetof(WGPUShaderSourceWGSL, code) == 16);
VZ_WGPU_ABI_CHECK(sizeof(WGPUBindGroupEntry) == 56);
VZ_WGPU_ABI_CHECK(offsetof(WGPUBindGroupEntry, buffer) == 16);
VZ_WGPU_ABI_CHECK(offsetof(WGPUBindGroupEntry, textureView) == 48);
VZ_WGPU_ABI_CHECK(sizeof(WGPUBindGroupDescriptor) == 48);
VZ_WGPU_ABI_CHECK(offsetof(WGPUBindGroupDescriptor, entries) == 40);

VZ_WGPU_ABI_CHECK(sizeof(WGPUConstantEntry) == 32);
VZ_WGPU_ABI_CHECK(sizeof(WGPUVertexAttribute) == 32);
VZ_WGPU_ABI_CHECK(offsetof(WGPUVertexAttribute, format) == 8);
VZ_WGPU_ABI_CHECK(offsetof(WGPUVertexAttribute, offset) == 16);
VZ_WGPU_ABI_CHECK(offsetof(WGPUVertexAttribute, shaderLocation) == 24);
VZ_WGPU_ABI_CHECK(sizeof(WGPUVertexBufferLayout) == 40);
VZ_WGPU_ABI_CHECK(offsetof(WGPUVertexBufferLayout, stepMode) == 8);
VZ_WGPU_ABI_CHECK(offsetof(WGPUVertexBufferLayout, arrayStride) == 16);
VZ_WGPU_ABI_CHECK(sizeof(WGPUVertexState) == 64);
VZ_WGPU_ABI_CHECK(offsetof(WGPUVertexState, bufferCount) == 48);
VZ_WGPU_ABI_CHECK(sizeof(WGPUPrimitiveState) == 32);
VZ_WGPU_ABI_CHECK(sizeof(WGPUStencilFaceState) == 16);
VZ_WGPU_ABI_CHECK(sizeof(WGPUDepthStencilState) == 72);
VZ_WGPU_ABI_CHECK(offsetof(WGPUDepthStencilState, depthWriteEnabled) == 12);
VZ_WGPU_ABI_CHECK(offsetof(WGPUDepthStencilState, stencilFront) == 20);
VZ_WGPU_ABI_CHECK(offsetof(WGPUDepthStencilState, stencilReadMask) == 52);
VZ_WGPU_ABI_CHECK(offsetof(WGPUDepthStencilState, depthBiasClamp) == 68);
VZ_WGPU_ABI_CHECK(sizeof(WGPUMultisampleState) == 24);
VZ_WGPU_ABI_CHECK(sizeof(WGPUBlendComponent) == 12);
VZ_WGPU_ABI_CHECK(sizeof(WGPUBlendState) == 24);
VZ_WGPU_ABI_CHECK(sizeof(WGPUColorTargetState) == 32);
VZ_WGPU_ABI_CHECK(offsetof(WGPUColorTargetState, blend) == 16);
VZ_WGPU_ABI_CHECK(offsetof(WGPUColorTargetState, writeMask) == 24);
VZ_WGPU_ABI_CHECK(sizeof(WGPUFragmentState) == 64);
VZ_WGPU_ABI_CHECK(offsetof(WGPUFragmentState, targets) == 56);
VZ_WGPU_ABI_CHECK(sizeof(WGPURenderPipelineDescriptor) == 168);
VZ_WGPU_ABI_CHECK(offsetof(WGPURenderPipelineDescriptor, vertex) == 32);
VZ_WGPU_ABI_CHECK(offsetof(WGPURenderPipelineDescriptor, primitive) == 96);
VZ_WGPU_ABI_CHECK(offsetof(WGPURenderPipelineDescriptor, depthStencil) == 128);
VZ_WGPU_ABI_CHECK(offsetof(WGPURenderPipelineDescriptor, multisample) == 136);
VZ_WGPU_ABI_CHECK(offsetof(WGPURenderPipelineDescriptor, fragment) == 160);

VZ_WGPU_ABI_CHECK(sizeof(WGPUTexelCopyTextureInfo) == 32);
VZ_WGPU_ABI_CHECK(offsetof(WGPUTexelCopyTextureInfo, origin) == 12);
VZ_WGPU_ABI_CHECK(offsetof(WGPUTexelCopyTextureInfo, aspect) == 24);
VZ_WGPU_ABI_CHECK(sizeof(WGPUTexelCopyBufferLayout) == 16);
VZ_WGPU_ABI_CHECK(sizeof(WGPUCommandEncoderDescriptor) == 24);
VZ_WGPU_ABI_CHECK(sizeof(WGPUCommandBufferDescriptor) == 24);
VZ_WGPU_ABI_CHECK(sizeof(WGPURenderPassColorAttachment) == 72);
VZ_WGPU_ABI_CHECK(offsetof(WGPURenderPassColorAttachment, depthSlice) == 16);
VZ_WGPU_ABI_CHECK(offsetof(WGPURenderPassColorAttachment, loadOp) == 32);
VZ_WGPU_ABI_CHECK(offsetof(WGPURenderPassColorAttachment, clearValue) == 40);
VZ_WGPU_ABI_CHECK(sizeof(WGPURenderPassDepthStencilAttachment) == 48);
VZ_WGPU_ABI_CHECK(offsetof(WGPURenderPassDepthStencilAttachment, depthClearValue) == 24);
VZ_WGPU_ABI_CHECK(offsetof(WGPURenderPassDepthStencilAttachment, stencilLoadOp) == 32);
VZ_WGPU_ABI_CHECK(sizeof(WGPURenderPassDescriptor) == 64);
VZ_WGPU_ABI_CHECK(offsetof(WGPURenderPassDescriptor, depthStencilAttachment) == 40);
VZ_WGPU_ABI_CHECK(offsetof(WGPURenderPassDescriptor, timestampWrites) == 56);
#endif  // 64-bit pointers

#undef VZ_WGPU_ABI_CHECK

#endif  // VZ_RENDER_WEBGPU_DAWN_H
