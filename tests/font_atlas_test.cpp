// Baking the font atlas from the shipped font: both glyph sets in their regions, the solid-fill
// block the interface's rectangles sample, and the reasons a font is refused.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "ui/font_atlas.h"
#include "ui/ui_mesh.h"

namespace {

using Bytes = std::vector<unsigned char>;

Bytes shippedFont() {
    std::ifstream in(VZ_TEST_FONT_PATH, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), {});
}

// The shipped font with its line height (hhea's ascender minus descender) divided by four, so every
// glyph comes out four times larger than the atlas was laid out for.
Bytes fourTimesLarger(Bytes font) {
    uint32_t tables = font[4] << 8 | font[5];
    for (uint32_t i = 0; i < tables; ++i) {
        const unsigned char* record = &font[12 + 16 * i];
        if (std::memcmp(record, "hhea", 4) != 0) continue;
        size_t hhea = size_t(record[8]) << 24 | record[9] << 16 | record[10] << 8 | record[11];
        for (size_t field : {hhea + 4, hhea + 6}) {
            int16_t value = int16_t(font[field] << 8 | font[field + 1]);
            value = int16_t(value / 4);
            font[field] = uint8_t(uint16_t(value) >> 8);
            font[field + 1] = uint8_t(value);
        }
    }
    return font;
}

struct Baked {
    bool ok;
    const char* failure = "untouched";
    Bytes pixels = Bytes(size_t(FontAtlasSize) * FontAtlasSize, 0x55);  // whatever the buffer held before
    FontAtlas atlas = {};
};

Baked bake(const Bytes& font) {
    Baked baked;
    baked.ok = bakeFontAtlas(font.data(), font.size(), baked.pixels.data(), baked.atlas, &baked.failure);
    return baked;
}

unsigned char texel(const Baked& baked, int x, int y) { return baked.pixels[size_t(y) * FontAtlasSize + size_t(x)]; }

// Any coverage inside a glyph's rectangle, its rows counted from the region's first row.
bool hasCoverage(const Baked& baked, const BakedGlyph& glyph, int regionTop) {
    for (int y = glyph.y0; y < glyph.y1; ++y)
        for (int x = glyph.x0; x < glyph.x1; ++x)
            if (texel(baked, x, regionTop + y)) return true;
    return false;
}

}  // namespace

TEST(FontAtlas, FontsAreBakedOrRefusedWithTheReasonTheLogGives) {
    const Bytes font = shippedFont();
    ASSERT_GT(font.size(), 1000u) << "could not read " << VZ_TEST_FONT_PATH;
    struct Case {
        const char* what;
        Bytes bytes;
        bool ok;
        std::string failure;
    };
    const Case cases[] = {
        {"the shipped font", font, true, "untouched"},
        {"glyphs four times too large", fourTimesLarger(font), false, "its glyphs do not fit the atlas"},
        {"cut short", Bytes(font.begin(), font.begin() + 1000), false,
         "not a font this client can read safely (damaged, or an unsupported kind)"},
    };
    for (const Case& c : cases) {
        Baked baked = bake(c.bytes);
        EXPECT_EQ(baked.ok, c.ok) << c.what;
        EXPECT_EQ(baked.failure, c.failure) << c.what;
        Bytes pixels(size_t(FontAtlasSize) * FontAtlasSize);
        FontAtlas atlas;
        EXPECT_EQ(bakeFontAtlas(c.bytes.data(), c.bytes.size(), pixels.data(), atlas), c.ok) << c.what << ", no reason asked";
    }
}

TEST(FontAtlas, EachGlyphSetStaysInsideItsRegionAndRectangles) {
    Baked baked = bake(shippedFont());
    ASSERT_TRUE(baked.ok);
    const BakedGlyph& smallA = baked.atlas.smallGlyphs['A' - FontFirstGlyph];
    const BakedGlyph& largeA = baked.atlas.largeGlyphs['A' - FontFirstGlyph];
    EXPECT_NEAR(largeA.xadvance, 3 * smallA.xadvance, 0.02f * largeA.xadvance) << "96 pixels against 32";
    struct Region {
        const char* name;
        const BakedGlyph* glyphs;
        int top, rows;
    };
    for (Region r : {Region{"32 pixels", baked.atlas.smallGlyphs, 0, 252},
                     Region{"96 pixels", baked.atlas.largeGlyphs, 256, 768}}) {
        EXPECT_GT(r.glyphs[0].xadvance, 0.0f) << r.name << ": the space moves the pen";
        std::vector<bool> inGlyph(size_t(r.rows) * FontAtlasSize);
        for (int i = 0; i < FontGlyphCount; ++i) {
            const BakedGlyph& g = r.glyphs[i];
            ASSERT_LE(g.y1, r.rows) << r.name;
            for (int y = g.y0; y < g.y1; ++y)
                for (int x = g.x0; x < g.x1; ++x) inGlyph[size_t(y) * FontAtlasSize + size_t(x)] = true;
            bool drawn = i == 0 || hasCoverage(baked, g, r.top);  // all but the space
            EXPECT_TRUE(drawn) << r.name << ": '" << char(FontFirstGlyph + i) << "'";
        }
        int stray = 0;
        for (int y = 0; y < r.rows; ++y)
            for (int x = 0; x < FontAtlasSize; ++x)
                stray += !inGlyph[size_t(y) * FontAtlasSize + size_t(x)] && texel(baked, x, r.top + y) != 0;
        EXPECT_EQ(stray, 0) << r.name << ": texels covered outside every glyph";
    }
}

// Rectangles sample the atlas at SolidFillUv: it must fall on fully covered texels, which sit in the
// otherwise cleared rows between the two regions.
TEST(FontAtlas, SolidFillSamplesAThreeTexelBlockAtTheRightEndOfTheGap) {
    Baked baked = bake(shippedFont());
    ASSERT_TRUE(baked.ok);
    for (int y = 252; y < 256; ++y) {
        for (int x = 1000; x < FontAtlasSize; ++x) {
            bool block = y >= 253 && x >= 1021;
            EXPECT_EQ(texel(baked, x, y), block ? 255 : 0) << "texel (" << x << ", " << y << ")";
        }
    }
    // Bilinear filtering mixes the two texels nearest the sampled point on each axis, clamped to the
    // atlas's edge as the interface's sampler does.
    auto nearest = [](float uv) {
        int first = int(std::floor(uv * FontAtlasSize - 0.5f));
        return std::vector<int>{std::max(first, 0), std::min(first + 1, FontAtlasSize - 1)};
    };
    for (int x : nearest(SolidFillUv[0]))
        for (int y : nearest(SolidFillUv[1])) EXPECT_EQ(texel(baked, x, y), 255) << "texel (" << x << ", " << y << ")";
}
