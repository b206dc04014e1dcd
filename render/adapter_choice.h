// Which adapter to ask Dawn for next, from the platform and what the requests so far gave: the one
// place the adapter is chosen. It makes no call; render/gpu_requests.cpp asks as it says and hands
// each answer back.
#pragma once
#include <cstddef>

#include "render/webgpu_api.h"

enum class AdapterPlatform { Linux, Windows };

struct AdapterRequest {
    WGPUBackendType backend;        // Undefined: any backend
    WGPUFeatureLevel featureLevel;  // Undefined: Dawn's default
};

// What one request gave: nothing, or an adapter of this backend and type.
struct AdapterAnswer {
    bool given;
    WGPUBackendType backend;
    WGPUAdapterType type;
};

enum class AdapterStep { Ask, Take, GiveUp };

// Ask for request next, take the last answer's adapter, or give up: no adapter that draws is offered.
struct AdapterChoice {
    AdapterStep step;
    AdapterRequest request;  // for Ask only
};

// The most requests a choice ever makes: the plain one and the platform's fallback.
constexpr size_t MaxAdapterRequests = 2;

// answers holds what each request so far gave, in order: none, and it may be null, at the start.
AdapterChoice nextAdapterChoice(AdapterPlatform platform, const AdapterAnswer* answers, size_t count);
