// Glyph baking. The font's structure is checked before stb_truetype sees it, because stb_truetype
// follows the offsets in the file without bounds checks.
#include <stb/stb_truetype.h>

#include <cstring>

#include "ui/font_atlas.h"
#include "ui/font_check.h"

FontAtlas fontAtlas;

namespace {

void copyGlyphs(const stbtt_bakedchar* baked, BakedGlyph* glyphs) {
    for (int i = 0; i < FontGlyphCount; ++i) {
        glyphs[i] = {baked[i].x0, baked[i].y0, baked[i].x1, baked[i].y1, baked[i].xoff, baked[i].yoff,
                     baked[i].xadvance};
    }
}

}  // namespace

bool bakeFontAtlas(const unsigned char* fontData, size_t fontSize, unsigned char* pixels, FontAtlas& atlas,
                   const char** failure) {
    std::memset(pixels, 0, size_t(FontAtlasSize) * FontAtlasSize);
    if (!isFontDataSafe(fontData, fontSize)) {
        if (failure) *failure = "not a font this client can read safely (damaged, or an unsupported kind)";
        return false;
    }

    stbtt_bakedchar small[FontGlyphCount];
    stbtt_bakedchar large[FontGlyphCount];
    int smallResult = stbtt_BakeFontBitmap(fontData, 0, FontSmallPixels, pixels, FontAtlasSize, FontSmallRegionRows,
                                           FontFirstGlyph, FontGlyphCount, small);
    int largeResult = stbtt_BakeFontBitmap(fontData, 0, FontLargePixels,
                                           pixels + size_t(FontLargeRegionTop) * FontAtlasSize, FontAtlasSize,
                                           FontLargeRegionRows, FontFirstGlyph, FontGlyphCount, large);
    if (smallResult <= 0 || largeResult <= 0) {
        if (failure) *failure = "its glyphs do not fit the atlas";
        return false;
    }

    copyGlyphs(small, atlas.smallGlyphs);
    copyGlyphs(large, atlas.largeGlyphs);
    for (int row = FontSolidBlockTop; row < FontSolidBlockTop + FontSolidBlockSide; ++row) {
        std::memset(pixels + size_t(row) * FontAtlasSize + FontSolidBlockLeft, 255, FontSolidBlockSide);
    }
    return true;
}
