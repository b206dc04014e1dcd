// Rectangle and text primitives over the font atlas.
#include "ui/ui_mesh.h"

UiMesh uiMesh;

namespace {

void setVertex(UiVertex& vertex, float x, float y, float u, float v, const UiColour& colour) {
    vertex.position[0] = x;
    vertex.position[1] = y;
    vertex.uv[0] = u;
    vertex.uv[1] = v;
    vertex.colour[0] = colour.r;
    vertex.colour[1] = colour.g;
    vertex.colour[2] = colour.b;
    vertex.colour[3] = colour.a;
}

}  // namespace

void pushUiQuad(UiMesh& mesh, float left, float top, float right, float bottom, float uMin, float vMin, float uMax,
                float vMax, const UiColour& leftColour, const UiColour& rightColour) {
    if (mesh.count + 6 > UiVertexCapacity) return;
    UiVertex* v = mesh.vertices + mesh.count;
    setVertex(v[0], left, top, uMin, vMin, leftColour);
    setVertex(v[1], right, top, uMax, vMin, rightColour);
    setVertex(v[2], right, bottom, uMax, vMax, rightColour);
    setVertex(v[3], left, top, uMin, vMin, leftColour);
    setVertex(v[4], right, bottom, uMax, vMax, rightColour);
    setVertex(v[5], left, bottom, uMin, vMax, leftColour);
    mesh.count += 6;
}

void pushUiRect(UiMesh& mesh, float left, float top, float right, float bottom, const UiColour& leftColour,
                const UiColour& rightColour) {
    pushUiQuad(mesh, left, top, right, bottom, SolidFillUv[0], SolidFillUv[1], SolidFillUv[0], SolidFillUv[1],
               leftColour, rightColour);
}

void drawUiText(UiMesh& mesh, const FontAtlas& atlas, float x, float y, const char* text, float size,
                const UiColour& colour) {
    bool large = size > UiLargeTextAbove;
    const BakedGlyph* glyphs = large ? atlas.largeGlyphs : atlas.smallGlyphs;
    float scale = size / (large ? FontLargePixels : FontSmallPixels);
    float rowOffset = large ? float(FontLargeRegionTop) : 0.0f;
    if (!text || !*text) return;

    float pen = x;
    float baseline = y + 0.8f * size;
    for (const unsigned char* c = reinterpret_cast<const unsigned char*>(text); *c; ++c) {
        if (*c < FontFirstGlyph || *c >= FontFirstGlyph + FontGlyphCount) continue;
        const BakedGlyph& g = glyphs[*c - FontFirstGlyph];
        float left = pen + scale * g.xoff;
        float top = baseline + scale * g.yoff;
        float right = left + scale * float(g.x1 - g.x0);
        float bottom = top + scale * float(g.y1 - g.y0);
        constexpr float texel = 1.0f / float(FontAtlasSize);
        pushUiQuad(mesh, left, top, right, bottom, g.x0 * texel, (g.y0 + rowOffset) * texel, g.x1 * texel,
                   (g.y1 + rowOffset) * texel, colour, colour);
        pen += scale * g.xadvance;
    }
}
