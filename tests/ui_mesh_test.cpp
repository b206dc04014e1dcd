// Interface primitives: rectangle layout and colours, text glyph-set choice and pen movement, and the
// vertex capacity edge.
#include <gtest/gtest.h>

#include <memory>

#include "ui/ui_mesh.h"

namespace {

std::unique_ptr<UiMesh> emptyMesh() {
    auto mesh = std::make_unique<UiMesh>();
    mesh->count = 0;
    return mesh;
}

// A synthetic atlas: every glyph 10 x 20 texels with advance 12; the space has an empty rectangle.
FontAtlas syntheticAtlas() {
    FontAtlas atlas = {};
    for (int i = 0; i < FontGlyphCount; ++i) {
        uint16_t x = uint16_t((i % 50) * 20);
        uint16_t y = uint16_t((i / 50) * 30);
        BakedGlyph glyph = {x, y, uint16_t(x + 10), uint16_t(y + 20), 1.0f, -18.0f, 12.0f};
        if (i == 0) glyph = {0, 0, 0, 0, 0.0f, 0.0f, 8.0f};
        atlas.smallGlyphs[i] = glyph;
        glyph.xadvance *= 3.0f;
        atlas.largeGlyphs[i] = glyph;
    }
    return atlas;
}

const UiColour White = {1, 1, 1, 1};

}  // namespace

TEST(UiQuad, GradientRunsFromLeftToRight) {
    auto mesh = emptyMesh();
    const UiColour red = {1, 0, 0, 1}, blue = {0, 0, 1, 1};
    pushUiRect(*mesh, 10, 20, 110, 70, red, blue);
    ASSERT_EQ(mesh->count, 6u);
    for (uint32_t i = 0; i < 6; ++i) {
        const UiVertex& v = mesh->vertices[i];
        bool leftEdge = v.position[0] == 10.0f;
        EXPECT_TRUE(leftEdge || v.position[0] == 110.0f);
        EXPECT_EQ(v.colour[0], leftEdge ? 1.0f : 0.0f);
        EXPECT_EQ(v.colour[2], leftEdge ? 0.0f : 1.0f);
        EXPECT_EQ(v.uv[0], SolidFillUv[0]);
        EXPECT_EQ(v.uv[1], SolidFillUv[1]);
    }
    EXPECT_EQ(mesh->vertices[0].position[1], 20.0f);
    EXPECT_EQ(mesh->vertices[2].position[1], 70.0f);
}

TEST(UiQuad, CapacityEdgeDropsWholeRectangles) {
    struct Case {
        uint32_t before, after;
    };
    for (Case c : {Case{7992, 7998}, Case{7994, 8000}, Case{7995, 7995}, Case{7998, 7998}}) {
        auto mesh = emptyMesh();
        mesh->count = c.before;
        pushUiRect(*mesh, 0, 0, 1, 1, White, White);
        EXPECT_EQ(mesh->count, c.after) << "from " << c.before;
    }

    auto fresh = emptyMesh();
    for (int i = 0; i < 1400; ++i) pushUiRect(*fresh, 0, 0, 1, 1, White, White);
    EXPECT_EQ(fresh->count, 1333u * 6u);
}

TEST(UiText, SizeAboveFortyFourUsesTheLargeGlyphs) {
    FontAtlas atlas = syntheticAtlas();
    auto small = emptyMesh();
    drawUiText(*small, atlas, 0, 0, "A", 44.0f, White);
    auto large = emptyMesh();
    drawUiText(*large, atlas, 0, 0, "A", 44.01f, White);
    ASSERT_EQ(small->count, 6u);
    ASSERT_EQ(large->count, 6u);
    const BakedGlyph& a = atlas.smallGlyphs['A' - 32];
    EXPECT_FLOAT_EQ(small->vertices[0].uv[1], a.y0 / 1024.0f);
    EXPECT_FLOAT_EQ(large->vertices[0].uv[1], (a.y0 + 256) / 1024.0f);
    // 44 is the 32-pixel set scaled by 1.375.
    EXPECT_FLOAT_EQ(small->vertices[1].position[0] - small->vertices[0].position[0], 10.0f * 1.375f);
    EXPECT_FLOAT_EQ(large->vertices[1].position[0] - large->vertices[0].position[0], 10.0f * 44.01f / 96.0f);
}

TEST(UiText, EveryMeasureOfAGlyphScalesWithTheSize) {
    struct Case {
        float size;
        float left, top, right, bottom, nextLeft;  // the first glyph's box and where the second starts
        float rowOffset;                           // the large glyphs' region starts 256 texels down
    };
    // 'a' is the synthetic atlas's glyph 65: texels (300, 30) to (310, 50), offset (1, -18), advance 12.
    const Case cases[] = {
        {16, 100.5f, 53.8f, 105.5f, 63.8f, 106.5f, 0},
        {64, 100.666667f, 89.2f, 107.333333f, 102.533333f, 124.666667f, 256},
    };
    FontAtlas atlas = syntheticAtlas();
    for (const Case& c : cases) {
        auto mesh = emptyMesh();
        drawUiText(*mesh, atlas, 100, 50, "aa", c.size, White);
        ASSERT_EQ(mesh->count, 12u);
        const UiVertex* v = mesh->vertices;
        EXPECT_FLOAT_EQ(v[0].position[0], c.left) << c.size;
        EXPECT_FLOAT_EQ(v[0].position[1], c.top) << c.size;
        EXPECT_FLOAT_EQ(v[2].position[0], c.right) << c.size;
        EXPECT_FLOAT_EQ(v[2].position[1], c.bottom) << c.size;
        EXPECT_FLOAT_EQ(v[6].position[0], c.nextLeft) << c.size;
        EXPECT_FLOAT_EQ(v[0].uv[0], 300.0f / 1024) << c.size;
        EXPECT_FLOAT_EQ(v[0].uv[1], (30 + c.rowOffset) / 1024) << c.size;
        EXPECT_FLOAT_EQ(v[2].uv[0], 310.0f / 1024) << c.size;
        EXPECT_FLOAT_EQ(v[2].uv[1], (50 + c.rowOffset) / 1024) << c.size;
    }
}

TEST(UiText, UnprintableBytesAreSkippedWithoutMovingThePen) {
    FontAtlas atlas = syntheticAtlas();
    auto plain = emptyMesh();
    drawUiText(*plain, atlas, 5, 5, "AB", 32.0f, White);
    auto mixed = emptyMesh();
    drawUiText(*mixed, atlas, 5, 5, "A\t\n\xC3\xA9\x7F" "B", 32.0f, White);
    ASSERT_EQ(plain->count, 12u);
    ASSERT_EQ(mixed->count, 12u);
    for (uint32_t i = 0; i < 12; ++i) {
        EXPECT_EQ(plain->vertices[i].position[0], mixed->vertices[i].position[0]);
        EXPECT_EQ(plain->vertices[i].position[1], mixed->vertices[i].position[1]);
    }
}

TEST(UiText, SpaceAdvancesWithAnEmptyRectangle) {
    FontAtlas atlas = syntheticAtlas();
    auto mesh = emptyMesh();
    drawUiText(*mesh, atlas, 0, 0, " A", 32.0f, White);
    ASSERT_EQ(mesh->count, 12u);
    EXPECT_EQ(mesh->vertices[0].position[0], mesh->vertices[1].position[0]);
    EXPECT_EQ(mesh->vertices[0].position[1], mesh->vertices[2].position[1]);
    // The A starts one space advance (8 pixels) plus its own offset to the right.
    EXPECT_FLOAT_EQ(mesh->vertices[6].position[0], 8.0f + 1.0f);
}

TEST(UiText, BaselineSitsAtEightTenthsOfTheSize) {
    FontAtlas atlas = syntheticAtlas();
    auto mesh = emptyMesh();
    drawUiText(*mesh, atlas, 100, 50, "A", 32.0f, White);
    // Glyph top = y + 0.8 size + yoff (scale 1 at 32 pixels).
    EXPECT_FLOAT_EQ(mesh->vertices[0].position[1], 50.0f + 25.6f - 18.0f);
    EXPECT_FLOAT_EQ(mesh->vertices[0].position[0], 101.0f);
}

TEST(UiText, EmptyOrMissingTextDrawsNothing) {
    FontAtlas atlas = syntheticAtlas();
    auto mesh = emptyMesh();
    drawUiText(*mesh, atlas, 0, 0, "", 32.0f, White);
    drawUiText(*mesh, atlas, 0, 0, nullptr, 32.0f, White);
    EXPECT_EQ(mesh->count, 0u);
}

TEST(UiText, FullMeshLosesLaterGlyphsOnly) {
    FontAtlas atlas = syntheticAtlas();
    auto mesh = emptyMesh();
    mesh->count = 7986;
    drawUiText(*mesh, atlas, 0, 0, "ABCD", 32.0f, White);
    EXPECT_EQ(mesh->count, 7998u);
}
