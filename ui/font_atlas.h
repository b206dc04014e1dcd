// The font atlas: one 1024 x 1024 coverage texture holding the printable ASCII glyphs baked at 32
// and 96 pixels, plus a small fully covered block for solid fills.
#pragma once
#include <cstddef>
#include <cstdint>

constexpr int FontAtlasSize = 1024;
constexpr int FontFirstGlyph = 32;
constexpr int FontGlyphCount = 95;
constexpr float FontSmallPixels = 32.0f;
constexpr float FontLargePixels = 96.0f;
constexpr int FontSmallRegionRows = 252;
constexpr int FontLargeRegionTop = 256;
constexpr int FontLargeRegionRows = 768;
// The fully covered block for solid fills: 3 x 3 texels in the gap between the two regions, at the
// atlas's right edge.
constexpr int FontSolidBlockLeft = FontAtlasSize - 3;
constexpr int FontSolidBlockTop = FontSmallRegionRows + 1;
constexpr int FontSolidBlockSide = 3;

// One glyph's rectangle in its bake region (texels; y relative to the region's first row), the
// offset from the pen to its top-left corner and the pen's advance, in pixels at the baked size.
struct BakedGlyph {
    uint16_t x0, y0, x1, y1;
    float xoff, yoff, xadvance;
};

struct FontAtlas {
    BakedGlyph smallGlyphs[FontGlyphCount];  // baked at 32 pixels
    BakedGlyph largeGlyphs[FontGlyphCount];  // baked at 96 pixels
};

extern FontAtlas fontAtlas;

// Bakes both glyph sets and the solid-fill block into pixels (FontAtlasSize squared bytes). False
// when the font data is damaged or not every glyph fits its region; failure, when given, then
// points at a short reason.
bool bakeFontAtlas(const unsigned char* fontData, size_t fontSize, unsigned char* pixels, FontAtlas& atlas,
                   const char** failure = nullptr);
