// stb_truetype compiled once for the client, its tests and the font fuzz target. Fonts reach it
// only after isFontDataSafe (ui/font_check.h) has accepted them.
// That check rules out every STBTT_assert font data can reach while baking, and the rest are
// numeric sanity checks in the rasterizer whose failure is harmless, so the asserts are compiled
// out. Define VZ_STBTT_KEEP_ASSERTS to keep them, as the tests and the fuzz target do.
#ifndef VZ_STBTT_KEEP_ASSERTS
#define STBTT_assert(x) ((void)0)
#endif
#define STB_TRUETYPE_IMPLEMENTATION
#include <stb/stb_truetype.h>
