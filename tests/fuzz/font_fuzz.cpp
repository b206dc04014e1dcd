// libFuzzer target for the font check: bytes go through isFontDataSafe and, when accepted, are baked
// exactly as the client bakes its atlas, so the sanitizers see every read stb_truetype makes. The
// kerning lookups the check also covers are exercised afterwards.
#include "ui/font_check.h"

#include <stb/stb_truetype.h>

#include <cstddef>
#include <cstdint>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (!isFontDataSafe(data, size)) return 0;
    // One 1024x1024 atlas: the 32 px glyphs in the top 252 rows, the 96 px glyphs in the last 768.
    constexpr int AtlasSide = 1024;
    static std::vector<unsigned char> atlas(size_t(AtlasSide) * AtlasSide);
    stbtt_bakedchar small[95];
    stbtt_bakedchar large[95];
    stbtt_BakeFontBitmap(data, 0, 32.0f, atlas.data(), AtlasSide, 252, 32, 95, small);
    stbtt_BakeFontBitmap(data, 0, 96.0f, atlas.data() + size_t(AtlasSide) * (AtlasSide - 768), AtlasSide, 768, 32, 95,
                         large);

    stbtt_fontinfo font;
    if (!stbtt_InitFont(&font, data, 0)) return 0;
    int total = 0;  // results are not checked; only the reads matter
    for (int first = 32; first < 127; ++first)
        for (int second : {' ', '.', 'A', 'T', 'V', 'a', 'o', 'y'})
            total += stbtt_GetCodepointKernAdvance(&font, first, second);
    std::vector<stbtt_kerningentry> pairs(size_t(stbtt_GetKerningTableLength(&font)));
    total += stbtt_GetKerningTable(&font, pairs.data(), int(pairs.size()));
    (void)total;
    return 0;
}
