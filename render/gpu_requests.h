// The adapter and device requests: each asks Dawn, waits on the main thread for its answer (the
// callbacks run inside wgpuInstanceProcessEvents) and logs what it got.
#pragma once
#include <cstddef>
#include <cstdint>

#include "render/webgpu_api.h"

// How many times a request's wait lets Dawn process events before it gives up on the answer.
constexpr int RequestWaitCalls = 1000;

// Asks for adapters as the adapter choice says, one log line per request and its answer, and keeps
// the first that draws in gpu.adapter with the drawing path decided from it. False when none draws.
bool chooseAdapter();

// Dawn's Null adapter in gpu.adapter (the headless start's, and the Null-adapter test client's).
bool chooseNullAdapter();

// A device on gpu.adapter, with its queue, in gpu.device and gpu.queue. False when none came.
bool requestDevice();

// The bytes of a string view Dawn hands over: up to its NUL when its length is WGPU_STRLEN; none when
// it has no data.
size_t stringViewLength(WGPUStringView view);

// The callback of both the adapter and the device request: on success it stores the handle where
// userdata1 points; on any other status it leaves that handle alone (null), so the wait runs out.
template <typename Status, typename Handle>
void onRequestDone(Status status, Handle handle, WGPUStringView, void* userdata1, void*) {
    static_assert(uint32_t(WGPURequestAdapterStatus_Success) == uint32_t(WGPURequestDeviceStatus_Success));
    if (uint32_t(status) == uint32_t(WGPURequestAdapterStatus_Success)) *static_cast<Handle*>(userdata1) = handle;
}
