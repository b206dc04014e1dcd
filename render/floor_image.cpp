// JPEG decoding and mip reduction. Levels are averaged on the stored 8-bit values as they are, the
// sRGB base map too.
// The JPEG goes to stb_image unchecked: the pinned decoder starts from cleared state, so tables a
// file never defines read as zeros, and it stops at Huffman tables that would overrun its arrays.
// Where it stops early it still returns an image; render/stb_image_impl.cpp has it zero what no
// scan wrote. tests/floor_image_test.cpp holds the decoder to all three.
#include "render/floor_image.h"

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
    auto texel = [&](int x, int y, int channel) -> unsigned {
        if (x > level.width - 1) x = level.width - 1;
        if (y > level.height - 1) y = level.height - 1;
        return level.pixels[(size_t(y) * size_t(level.width) + size_t(x)) * 4 + size_t(channel)];
    };
    for (int y = 0; y < next.height; ++y) {
        for (int x = 0; x < next.width; ++x) {
            for (int channel = 0; channel < 4; ++channel) {
                unsigned sum = texel(2 * x, 2 * y, channel) + texel(2 * x + 1, 2 * y, channel) +
                               texel(2 * x, 2 * y + 1, channel) + texel(2 * x + 1, 2 * y + 1, channel);
                next.pixels[(size_t(y) * size_t(next.width) + size_t(x)) * 4 + size_t(channel)] = uint8_t((sum + 2) / 4);
            }
        }
    }
    return next;
}
