// JPEG decoding and mip reduction. Levels are averaged on the stored 8-bit values as they are, the
// sRGB base map too.
// The JPEG goes to stb_image unchecked: the pinned decoder starts from cleared state, so tables a
// file never defines read as zeros, and it stops at Huffman tables that would overrun its arrays.
// Where it stops early it still returns an image; render/stb_image_impl.cpp has it zero what no
// scan wrote. tests/floor_image_test.cpp holds the decoder to all three.
#include "floor_image/floor_image.h"

#include <algorithm>

#include <stb/stb_image.h>

#include <climits>

bool decodeJpegRgba(const void* bytes, size_t size, RgbaImage& image) {
    if (!bytes || size == 0 || size > size_t(INT_MAX)) return false;
    int width = 0, height = 0, channels = 0;
    stbi_uc* decoded = stbi_load_from_memory(static_cast<const stbi_uc*>(bytes), int(size), &width, &height, &channels, 4);
    if (!decoded) return false;
    image.width = width;
    image.height = height;
    image.pixels.assign(decoded, decoded + size_t(width) * size_t(height) * 4);
    stbi_image_free(decoded);
    return true;
}

int mipLevelCount(int width, int height) {
    int largest = width > height ? width : height;
    int count = 1;
    if (largest >= 2) {
        while ((largest >> count) > 0) ++count;
    }
    return count;
}

RgbaImage nextMipLevel(const RgbaImage& level) {
    RgbaImage next;
    next.width = level.width / 2 > 1 ? level.width / 2 : 1;
    next.height = level.height / 2 > 1 ? level.height / 2 : 1;
    next.pixels.resize(size_t(next.width) * size_t(next.height) * 4);
    // Rows and columns past the edge repeat the last one; clamped once per row and per column, so the
    // inner loop is plain arithmetic (start-up decodes three maps' chains through here).
    const size_t rowBytes = size_t(level.width) * 4;
    for (int y = 0; y < next.height; ++y) {
        const uint8_t* top = level.pixels.data() + size_t(std::min(2 * y, level.height - 1)) * rowBytes;
        const uint8_t* bottom = level.pixels.data() + size_t(std::min(2 * y + 1, level.height - 1)) * rowBytes;
        uint8_t* out = next.pixels.data() + size_t(y) * size_t(next.width) * 4;
        for (int x = 0; x < next.width; ++x) {
            size_t left = size_t(std::min(2 * x, level.width - 1)) * 4;
            size_t right = size_t(std::min(2 * x + 1, level.width - 1)) * 4;
            for (size_t channel = 0; channel < 4; ++channel) {
                unsigned sum = unsigned(top[left + channel]) + top[right + channel] + bottom[left + channel] +
                               bottom[right + channel];
                out[size_t(x) * 4 + channel] = uint8_t((sum + 2) / 4);
            }
        }
    }
    return next;
}
