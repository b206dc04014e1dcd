// libFuzzer target for the font check: bytes go through isFontDataSafe and, when accepted, through
// the client's own bake (ui/font_bake.cpp), so the sanitizers see every read stb_truetype makes
// there. The kerning lookups the check also covers are exercised afterwards.
#include "ui/font_atlas.h"
#include "ui/font_check.h"

#include <stb/stb_truetype.h>

#include <cstddef>
#include <cstdint>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (!isFontDataSafe(data, size)) return 0;
    static std::vector<unsigned char> pixels(size_t(FontAtlasSize) * FontAtlasSize);
    FontAtlas atlas;
    bakeFontAtlas(data, size, pixels.data(), atlas);  // false when the glyphs do not fit: still safe

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
