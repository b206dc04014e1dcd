// Fuzz target: arbitrary bytes through the floor map path (JPEG decode, then the whole mip chain).
#include <cstddef>
#include <cstdint>

#include "floor_image/floor_image.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    RgbaImage level;
    if (!decodeJpegRgba(data, size, level)) return 0;
    int levels = mipLevelCount(level.width, level.height);
    for (int i = 1; i < levels; ++i) level = nextMipLevel(level);
    if (level.width != 1 || level.height != 1) __builtin_trap();
    return 0;
}
