// stb_truetype compiled once for the client, its tests and the font fuzz target. Fonts reach it
// only after isFontDataSafe (ui/font_check.h) has accepted them.
// That check rules out every STBTT_assert font data can reach while baking, and the rest are
// numeric sanity checks in the rasterizer whose failure is harmless, so the release client compiles
// them out. The sanitizer and fuzz builds define VZ_STBTT_KEEP_ASSERTS to keep them, whatever NDEBUG
// says, so a font the check wrongly accepts stops there.
#ifdef VZ_STBTT_KEEP_ASSERTS
#include <cstdio>
#include <cstdlib>
#define STBTT_assert(x) \
    ((x) ? (void)0 : (std::fprintf(stderr, "stb_truetype assert failed: %s\n", #x), std::abort()))
#else
#define STBTT_assert(x) ((void)0)
#endif
#define STB_TRUETYPE_IMPLEMENTATION
#include <stb/stb_truetype.h>
