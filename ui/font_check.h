// Decides whether a font file may be handed to stb_truetype for baking the ASCII glyph atlas.
// stb_truetype trusts font data completely, so damaged files must be refused before it sees them.
#pragma once

#include <cstddef>

// True when stbtt_BakeFontBitmap(data, 0, 32 or 96 px, ..., 1024 pixels wide, first char 32,
// 95 chars) stays inside [data, data + size), hits none of stb_truetype's data-driven asserts and
// needs a bounded amount of work. Every table, offset and glyph those calls use is checked the way
// stb_truetype reads it; anything that cannot be shown safe is refused.
bool isFontDataSafe(const unsigned char* data, size_t size);
