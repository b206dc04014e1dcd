// Clamping a value into a range, the one way every layer does it.
#pragma once

// low when value is below it, high when above it, value otherwise (a NaN passes through unchanged,
// so callers that must reject one test for it first).
inline float clampTo(float value, float low, float high) { return value < low ? low : value > high ? high : value; }
