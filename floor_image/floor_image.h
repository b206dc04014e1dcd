// Floor map images on the CPU: JPEG decoding to RGBA and the 2 x 2 box-filtered mip chain. Plain
// values in and out, so tests and fuzzers reach them without a device.
#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

struct RgbaImage {
    int width;
    int height;
    std::vector<uint8_t> pixels;  // width x height x 4 bytes, rows top to bottom
};

// Decodes a JPEG held in memory into 8-bit RGBA (fewer channels are expanded, alpha 255). False for
// anything that is not a decodable JPEG. A file the decoder stops reading early (a damaged segment
// after the frame header, an early end) may still load; what it never reached is then zero.
bool decodeJpegRgba(const void* bytes, size_t size, RgbaImage& image);

// 1 + floor(log2(max(width, height))).
int mipLevelCount(int width, int height);

// The next mip level: each pixel the rounded mean of a 2 x 2 block, edges clamped, so an odd size's
// last column or row is dropped. Sizes halve, never below 1.
RgbaImage nextMipLevel(const RgbaImage& level);
