// Font file checks run before stb_truetype bakes the ASCII atlas. Each check follows the reads that
// stb_truetype's init, cmap lookup, metrics, glyph box/shape and bake code make, in the same order
// and with the same arithmetic, but bounded: a read that would leave its table refuses the font.
//
// Contents, in order:
//   Limits and records                 what is baked, the work bounds, where the tables lie
//   Bounded reads                      big-endian reads that cannot leave their table
//   Table directory and fixed tables   the directory, head, hhea and maxp
//   Metrics, kerning and positioning   hmtx, kern and GPOS
//   Character map                      the cmap subtable stb_truetype picks, and its lookups
//   Outline cost                       how many points flattening an outline will produce
//   Glyph outlines (TrueType)          loca, glyf and composite glyphs
//   CFF tables                         INDEX and DICT reading, the tables stb_truetype's init uses
//   Type 2 charstrings                 the CFF glyph interpreter, one function per operator group
//   Baking check                       every baked character at both sizes
//   Entry point                        isFontDataSafe
#include "ui/font_check.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace {

// ---------------------------------------------------------------------------------------------
// Limits and records

// What the client bakes: printable ASCII at two pixel heights into a 1024-pixel-wide atlas.
constexpr int FirstCodepoint = 32;
constexpr int CodepointCount = 95;
constexpr int BakeSizeCount = 2;
constexpr float BakePixelHeights[BakeSizeCount] = {32.0f, 96.0f};
constexpr int AtlasWidth = 1024;
// The bake places a glyph that does not fit a row at x = 1 without checking its width again, so a
// glyph wider than this would be drawn past the end of the atlas row. Two pixels spare for rounding.
constexpr int64_t MaxGlyphPixelWidth = AtlasWidth - 4;
// stb_truetype's flattening tolerance in pixels, as passed by its glyph bitmap functions.
constexpr float FlatnessInPixels = 0.35f;

// Limits on work. Real fonts stay far below them; they stop damaged data from making stb_truetype
// loop, recurse or allocate without bound.
constexpr uint64_t MaxFontBytes = uint64_t(1) << 28;
constexpr int MaxCompositeDepth = 8;
constexpr int MaxComponentsPerGlyph = 256;
constexpr uint64_t MaxVerticesPerGlyph = uint64_t(1) << 16;
constexpr int MaxCharstringSteps = 1 << 16;
constexpr uint64_t MaxFlattenedPointsPerGlyph = uint64_t(1) << 16;
constexpr uint64_t MaxFlattenedPointsPerFont = uint64_t(1) << 18;
constexpr uint64_t MaxPositioningWork = uint64_t(1) << 22;
// How far a TrueType outline may stray outside its glyph's box: a sixteenth of the line height.
constexpr int32_t OutlineBoxSlackDivisor = 16;
constexpr int32_t MinOutlineBoxSlack = 2;
// stb_truetype stores outline coordinates as 16-bit integers.
constexpr float MinCoordinate = -32768.0f;
constexpr float MaxCoordinate = 32767.0f;
// stb_truetype's own charstring limits: nested subroutine calls, and operands on the stack.
constexpr int CharstringCallDepth = 10;
constexpr int CharstringStackCapacity = 48;

// stb_truetype's vertex kinds.
enum class VertexType { Move = 1, Line = 2, Curve = 3, Cubic = 4 };

constexpr uint32_t tagOf(const char (&text)[5]) {
    return (uint32_t(uint8_t(text[0])) << 24) | (uint32_t(uint8_t(text[1])) << 16) |
           (uint32_t(uint8_t(text[2])) << 8) | uint32_t(uint8_t(text[3]));
}

struct TableSpan {
    uint64_t offset = 0;
    uint64_t length = 0;
    bool present = false;
};

uint64_t tableEnd(const TableSpan& span) { return span.offset + span.length; }

// One CFF INDEX, checked: element i occupies [dataBase + offset[i], dataBase + offset[i + 1]).
struct CffIndex {
    uint64_t start = 0;
    uint32_t count = 0;
    uint32_t offsetSize = 0;
    uint64_t dataBase = 0;
    uint64_t end = 0;
};

struct CffLayout {
    CffIndex globalSubroutines;
    CffIndex localSubroutines;  // count 0 when the font has none
    CffIndex charStrings;
};

struct FontLayout {
    const unsigned char* data = nullptr;
    uint64_t size = 0;
    TableSpan cmap, head, hhea, hmtx, maxp, loca, glyf, kern, gpos, cff;
    bool cffOutlines = false;
    uint64_t characterMap = 0;  // file offset of the cmap subtable stb_truetype will use
    uint32_t glyphCount = 0;
    uint32_t indexToLocFormat = 0;
    int32_t fontHeight = 0;  // ascent - descent, the divisor of stb_truetype's pixel scale
    uint32_t longMetricCount = 0;
    CffLayout cffLayout;
};

// Font-unit box as stbtt_GetGlyphBox reports it; all zero when it reports no box.
struct GlyphBox {
    int32_t x0 = 0, y0 = 0, x1 = 0, y1 = 0;
};

// ---------------------------------------------------------------------------------------------
// Bounded reads

// Big-endian reads confined to [begin, end) of the file. A read outside marks the reader failed
// and yields 0, as does every read after it, so a sequence of reads can be checked once at the end.
struct BoundedReader {
    const unsigned char* data = nullptr;
    uint64_t begin = 0;
    uint64_t end = 0;
    bool failed = false;
};

BoundedReader readerOver(const unsigned char* data, uint64_t begin, uint64_t end) {
    return BoundedReader{data, begin, end, false};
}

BoundedReader tableReader(const FontLayout& font, const TableSpan& table) {
    return readerOver(font.data, table.offset, tableEnd(table));
}

bool checkRead(BoundedReader& reader, uint64_t at, uint64_t length) {
    if (at < reader.begin || at > reader.end || reader.end - at < length) reader.failed = true;
    return !reader.failed;
}

uint32_t readU8(BoundedReader& reader, uint64_t at) { return checkRead(reader, at, 1) ? reader.data[at] : 0; }

int32_t readS8(BoundedReader& reader, uint64_t at) { return int8_t(readU8(reader, at)); }

uint32_t readU16(BoundedReader& reader, uint64_t at) {
    if (!checkRead(reader, at, 2)) return 0;
    return (uint32_t(reader.data[at]) << 8) | reader.data[at + 1];
}

int32_t readS16(BoundedReader& reader, uint64_t at) { return int16_t(readU16(reader, at)); }

uint32_t readU32(BoundedReader& reader, uint64_t at) {
    if (!checkRead(reader, at, 4)) return 0;
    return (uint32_t(reader.data[at]) << 24) | (uint32_t(reader.data[at + 1]) << 16) |
           (uint32_t(reader.data[at + 2]) << 8) | reader.data[at + 3];
}

// ---------------------------------------------------------------------------------------------
// Table directory and fixed tables

bool isKnownSfntVersion(uint32_t version) {
    return version == 0x00010000 || version == tagOf("OTTO") || version == tagOf("true");
}

// stb_truetype takes the first directory record with a tag and treats offset 0 as "absent".
void noteTable(TableSpan& span, bool& seen, uint64_t offset, uint64_t length) {
    if (seen) return;
    seen = true;
    span.offset = offset;
    span.length = length;
    span.present = offset != 0;
}

bool readTableDirectory(FontLayout& font) {
    BoundedReader reader = readerOver(font.data, 0, font.size);
    if (!isKnownSfntVersion(readU32(reader, 0))) return false;
    const uint32_t tableCount = readU16(reader, 4);
    if (reader.failed || 12 + uint64_t(tableCount) * 16 > font.size) return false;

    struct Wanted { uint32_t tag; TableSpan* span; bool seen; };
    Wanted wanted[] = {
        {tagOf("cmap"), &font.cmap, false}, {tagOf("head"), &font.head, false},
        {tagOf("hhea"), &font.hhea, false}, {tagOf("hmtx"), &font.hmtx, false},
        {tagOf("maxp"), &font.maxp, false}, {tagOf("loca"), &font.loca, false},
        {tagOf("glyf"), &font.glyf, false}, {tagOf("kern"), &font.kern, false},
        {tagOf("GPOS"), &font.gpos, false}, {tagOf("CFF "), &font.cff, false},
    };
    for (uint32_t i = 0; i < tableCount; ++i) {
        const uint64_t record = 12 + uint64_t(i) * 16;
        const uint32_t tag = readU32(reader, record);
        const uint64_t offset = readU32(reader, record + 8);
        const uint64_t length = readU32(reader, record + 12);
        // 64-bit sums, so an offset plus length that wraps 32 bits is caught too.
        if (offset + length > font.size) return false;
        for (Wanted& entry : wanted)
            if (entry.tag == tag) noteTable(*entry.span, entry.seen, offset, length);
    }
    return !reader.failed;
}

bool readFixedTables(FontLayout& font) {
    if (!font.cmap.present || !font.head.present || !font.hhea.present || !font.hmtx.present)
        return false;
    // head is 54 bytes; stb_truetype reads indexToLocFormat at 50.
    if (font.head.length < 54) return false;
    // hhea is 36 bytes; stb_truetype reads ascent, descent and numberOfHMetrics at 4, 6 and 34.
    if (font.hhea.length < 36) return false;
    BoundedReader reader = readerOver(font.data, 0, font.size);
    font.indexToLocFormat = readU16(reader, font.head.offset + 50);
    font.fontHeight = readS16(reader, font.hhea.offset + 4) - readS16(reader, font.hhea.offset + 6);
    font.longMetricCount = readU16(reader, font.hhea.offset + 34);
    // A non-positive height gives a zero, infinite or negative scale and nonsense glyph boxes.
    if (font.fontHeight <= 0) return false;

    font.glyphCount = 0xffff;  // stb_truetype's assumption when maxp is missing
    if (font.maxp.present) {
        if (font.maxp.length < 6) return false;
        font.glyphCount = readU16(reader, font.maxp.offset + 4);
    }
    font.cffOutlines = !font.glyf.present;
    if (!font.cffOutlines) {
        if (!font.loca.present) return false;
        // stb_truetype treats every glyph as empty with other formats; such a font draws nothing.
        if (font.indexToLocFormat > 1) return false;
    } else if (!font.cff.present) {
        return false;
    }
    return !reader.failed;
}

// ---------------------------------------------------------------------------------------------
// Metrics, kerning and positioning

// stb_truetype reads the leading entry of hmtx for glyphs below numberOfHMetrics and the last
// advance plus a trailing side bearing for the rest, whatever the glyph count says.
bool checkHorizontalMetrics(const FontLayout& font, int64_t glyph) {
    const int64_t longCount = font.longMetricCount;
    const int64_t length = int64_t(font.hmtx.length);
    if (glyph < 0) return false;
    if (glyph < longCount) return 4 * glyph + 4 <= length;
    if (longCount == 0) return false;  // stb_truetype would read the entry before the table
    return 4 * longCount <= length && 4 * longCount + 2 * (glyph - longCount) + 2 <= length;
}

// stb_truetype does not read kern while baking; checked so that its kerning calls are safe too.
// Only the first subtable is used, and only when it is horizontal.
bool checkKerning(const FontLayout& font) {
    if (!font.kern.present) return true;
    BoundedReader reader = tableReader(font, font.kern);
    const uint64_t base = font.kern.offset;
    if (readU16(reader, base + 2) < 1) return !reader.failed;
    if (readU16(reader, base + 8) != 1) return !reader.failed;
    const uint64_t pairCount = readU16(reader, base + 10);
    return !reader.failed && 18 + pairCount * 6 <= font.kern.length;
}

// stb_truetype does not read GPOS while baking either; its kerning lookup only uses pair
// adjustment lookups (type 2) with an x-advance-only first value record. That lookup reads some
// fields before checking them, so every coverage index the coverage table can produce is checked.
// It also walks every lookup and subtable on each kerning query, so the walk's work is counted.
struct PositioningCheck {
    BoundedReader reader;
    uint64_t work = 0;
};

bool spendPositioningWork(PositioningCheck& check, uint64_t steps) {
    check.work += steps;
    return check.work <= MaxPositioningWork;
}

// Largest index stbtt__GetCoverageIndex can return, or -1 when it never matches.
int64_t largestCoverageIndex(PositioningCheck& check, uint64_t coverage) {
    BoundedReader& reader = check.reader;
    const uint32_t format = readU16(reader, coverage);
    if (format != 1 && format != 2) return -1;
    const uint32_t count = readU16(reader, coverage + 2);
    if (format == 1) {
        if (count) readU16(reader, coverage + 4 + 2 * uint64_t(count - 1));
        return int64_t(count) - 1;
    }
    int64_t largest = -1;
    if (!spendPositioningWork(check, count)) return -1;
    for (uint32_t range = 0; range < count; ++range) {
        const uint64_t record = coverage + 4 + 6 * uint64_t(range);
        const int64_t start = readU16(reader, record), end = readU16(reader, record + 2);
        const int64_t first = readU16(reader, record + 4);
        if (start <= end) largest = std::max(largest, first + end - start);
    }
    return largest;
}

// stbtt__GetGlyphClass reads either a glyph-indexed array or class range records.
void checkClassDefinition(BoundedReader& reader, uint64_t classes) {
    const uint32_t format = readU16(reader, classes);
    if (format == 1) {
        const uint32_t count = readU16(reader, classes + 4);
        if (count) readU16(reader, classes + 6 + 2 * uint64_t(count - 1));
    } else if (format == 2) {
        const uint32_t count = readU16(reader, classes + 2);
        if (count) readU16(reader, classes + 4 + 6 * uint64_t(count - 1) + 4);
    }
}

// Pair adjustment by glyph pairs. A pair set's offset and pair count are read before the coverage
// index is compared with the pair set count, so every index up to `largest` is read.
bool checkPairSets(PositioningCheck& check, uint64_t table, int64_t largest) {
    BoundedReader& reader = check.reader;
    const uint32_t pairSetCount = readU16(reader, table + 8);
    if (!spendPositioningWork(check, uint64_t(largest) + 1)) return false;
    for (int64_t index = 0; index <= largest && !reader.failed; ++index) {
        const uint64_t pairSet = table + readU16(reader, table + 10 + 2 * uint64_t(index));
        const uint32_t pairCount = readU16(reader, pairSet);
        if (index < int64_t(pairSetCount) && pairCount)
            readU16(reader, pairSet + 2 + 4 * uint64_t(pairCount - 1) + 2);
    }
    return !reader.failed;
}

// Pair adjustment by glyph classes: two class definitions and a matrix of class pairs.
bool checkClassPairs(BoundedReader& reader, uint64_t table) {
    checkClassDefinition(reader, table + readU16(reader, table + 8));
    checkClassDefinition(reader, table + readU16(reader, table + 10));
    const uint64_t cells = uint64_t(readU16(reader, table + 12)) * readU16(reader, table + 14);
    if (cells) readU16(reader, table + 16 + 2 * (cells - 1));
    return !reader.failed;
}

bool checkPairAdjustment(PositioningCheck& check, uint64_t table) {
    BoundedReader& reader = check.reader;
    const uint32_t format = readU16(reader, table);
    const int64_t largest = largestCoverageIndex(check, table + readU16(reader, table + 2));
    if (reader.failed || check.work > MaxPositioningWork) return false;
    if (largest < 0 || (format != 1 && format != 2)) return true;
    if (readU16(reader, table + 4) != 4 || readU16(reader, table + 6) != 0) return !reader.failed;
    if (format == 1) return checkPairSets(check, table, largest);
    return checkClassPairs(reader, table);
}

bool checkGlyphPositioning(const FontLayout& font) {
    if (!font.gpos.present) return true;
    PositioningCheck check{tableReader(font, font.gpos), 0};
    BoundedReader& reader = check.reader;
    const uint64_t base = font.gpos.offset;
    if (readU16(reader, base) != 1 || readU16(reader, base + 2) != 0) return !reader.failed;
    const uint64_t lookupList = base + readU16(reader, base + 8);
    const uint32_t lookupCount = readU16(reader, lookupList);
    for (uint32_t i = 0; i < lookupCount && !reader.failed; ++i) {
        const uint64_t lookup = lookupList + readU16(reader, lookupList + 2 + 2 * uint64_t(i));
        const uint32_t lookupType = readU16(reader, lookup);
        const uint32_t subtableCount = readU16(reader, lookup + 4);
        if (!spendPositioningWork(check, 1)) return false;
        if (lookupType != 2) continue;
        for (uint32_t subtable = 0; subtable < subtableCount && !reader.failed; ++subtable) {
            if (!spendPositioningWork(check, 1)) return false;
            if (!checkPairAdjustment(check, lookup + readU16(reader, lookup + 6 + 2 * uint64_t(subtable))))
                return false;
        }
    }
    return !reader.failed;
}

// ---------------------------------------------------------------------------------------------
// Character map

bool isUsableEncoding(uint32_t platform, uint32_t encoding) {
    if (platform == 3) return encoding == 1 || encoding == 10;  // Microsoft: Unicode BMP, full
    return platform == 0;                                       // Unicode: every encoding
}

// stb_truetype keeps the last usable encoding record, not the first.
bool selectCharacterMap(FontLayout& font) {
    BoundedReader reader = tableReader(font, font.cmap);
    const uint64_t base = font.cmap.offset;
    const uint32_t recordCount = readU16(reader, base + 2);
    uint64_t chosen = 0;
    bool found = false;
    for (uint32_t i = 0; i < recordCount; ++i) {
        const uint64_t record = base + 4 + uint64_t(i) * 8;
        if (isUsableEncoding(readU16(reader, record), readU16(reader, record + 2))) {
            chosen = readU32(reader, record + 4);
            found = true;
        }
    }
    if (reader.failed || !found || chosen >= font.cmap.length) return false;
    font.characterMap = base + chosen;
    return true;
}

// The subtable's own arrays must lie inside cmap; lookups are then replayed read by read.
bool checkCharacterMapArrays(const FontLayout& font) {
    BoundedReader reader = tableReader(font, font.cmap);
    const uint64_t map = font.characterMap;
    const uint64_t room = tableEnd(font.cmap) - map;
    const uint32_t format = readU16(reader, map);
    uint64_t needed = 0;
    switch (format) {
    case 0: needed = 6; break;
    case 4: needed = 16 + uint64_t(readU16(reader, map + 6) >> 1) * 8; break;
    case 6: needed = 10 + uint64_t(readU16(reader, map + 8)) * 2; break;
    case 12:
    case 13: needed = 16 + uint64_t(readU32(reader, map + 12)) * 12; break;
    default: return false;  // format 2 and unknown formats hit an assert in stb_truetype
    }
    return !reader.failed && needed <= room;
}

// Format 0: one byte per code point, as far as the subtable's length field says.
void findGlyphInByteMap(BoundedReader& reader, uint64_t map, int32_t codepoint, int64_t& glyph) {
    const int32_t bytes = int32_t(readU16(reader, map + 2));
    if (codepoint < bytes - 6) glyph = readU8(reader, map + 6 + uint64_t(codepoint));
}

// Format 6: one 16-bit glyph per code point of a single range.
void findGlyphInTrimmedMap(BoundedReader& reader, uint64_t map, int32_t codepoint, int64_t& glyph) {
    const uint32_t first = readU16(reader, map + 6);
    const uint32_t count = readU16(reader, map + 8);
    const uint32_t point = uint32_t(codepoint);
    if (point >= first && point < first + count) glyph = readU16(reader, map + 10 + uint64_t(point - first) * 2);
}

// Format 4: segments found by the binary search stb_truetype steers with the searchRange,
// entrySelector and rangeShift fields it finds in the data. False when a read fails mid-search.
bool findGlyphInSegmentMap(BoundedReader& reader, uint64_t map, int32_t codepoint, int64_t& glyph) {
    const uint32_t segmentCount = readU16(reader, map + 6) >> 1;
    uint32_t searchRange = readU16(reader, map + 8) >> 1;
    uint32_t entrySelector = readU16(reader, map + 10);
    const uint32_t rangeShift = readU16(reader, map + 12) >> 1;
    const uint64_t endCounts = map + 14;
    uint64_t search = endCounts;
    if (codepoint >= int32_t(readU16(reader, search + rangeShift * 2))) search += rangeShift * 2;
    search -= 2;
    while (entrySelector) {
        searchRange >>= 1;
        const int32_t end = int32_t(readU16(reader, search + searchRange * 2));
        if (codepoint > end) search += searchRange * 2;
        --entrySelector;
        if (reader.failed) return false;
    }
    search += 2;
    const uint64_t item = uint16_t((search - endCounts) >> 1);
    const int32_t start = int32_t(readU16(reader, map + 14 + segmentCount * 2 + 2 + 2 * item));
    const int32_t last = int32_t(readU16(reader, endCounts + 2 * item));
    if (codepoint >= start && codepoint <= last) {
        const uint64_t rangeOffsetAt = map + 14 + uint64_t(segmentCount) * 6 + 2 + 2 * item;
        const uint32_t rangeOffset = readU16(reader, rangeOffsetAt);
        if (rangeOffset == 0) {
            const int32_t delta = readS16(reader, map + 14 + uint64_t(segmentCount) * 4 + 2 + 2 * item);
            glyph = uint16_t(codepoint + delta);
        } else {
            glyph = readU16(reader, rangeOffset + uint64_t(codepoint - start) * 2 + rangeOffsetAt);
        }
    }
    return true;
}

// Formats 12 and 13: groups of code points found by binary search. False when a read fails.
bool findGlyphInGroupMap(BoundedReader& reader, uint64_t map, uint32_t format, int32_t codepoint, int64_t& glyph) {
    const uint32_t groupCount = readU32(reader, map + 12);
    int64_t low = 0;
    int64_t high = int32_t(groupCount);
    while (low < high) {
        const int64_t middle = low + ((high - low) >> 1);
        const uint64_t group = map + 16 + uint64_t(middle) * 12;
        const uint32_t startCharacter = readU32(reader, group);
        const uint32_t endCharacter = readU32(reader, group + 4);
        if (reader.failed) return false;
        if (uint32_t(codepoint) < startCharacter) {
            high = middle;
        } else if (uint32_t(codepoint) > endCharacter) {
            low = middle + 1;
        } else {
            const uint32_t startGlyph = readU32(reader, group + 8);
            // stb_truetype returns this 32-bit value as an int, so it may turn negative.
            glyph = format == 12 ? int32_t(startGlyph + uint32_t(codepoint) - startCharacter)
                                 : int32_t(startGlyph);
            break;
        }
    }
    return true;
}

// Replays stbtt_FindGlyphIndex for one code point; glyph 0 when the map does not have it.
bool findGlyphIndex(const FontLayout& font, int32_t codepoint, int64_t& glyph) {
    BoundedReader reader = tableReader(font, font.cmap);
    const uint64_t map = font.characterMap;
    const uint32_t format = readU16(reader, map);
    glyph = 0;
    if (format == 0) {
        findGlyphInByteMap(reader, map, codepoint, glyph);
    } else if (format == 6) {
        findGlyphInTrimmedMap(reader, map, codepoint, glyph);
    } else if (format == 4) {
        if (!findGlyphInSegmentMap(reader, map, codepoint, glyph)) return false;
    } else if (format == 12 || format == 13) {
        if (!findGlyphInGroupMap(reader, map, format, codepoint, glyph)) return false;
    } else {
        return false;
    }
    return !reader.failed;
}

// ---------------------------------------------------------------------------------------------
// Outline cost

// Replays stb_truetype's curve flattening to count the points it will produce for one glyph, at
// each bake size. Wiped at the start of every glyph; the flatness limits last for the font.
struct OutlineMeter {
    float flatnessSquared[BakeSizeCount] = {};  // in font units, per bake size
    uint64_t vertexCount = 0;
    uint64_t points[BakeSizeCount] = {};
    float lastX = 0.0f;
    float lastY = 0.0f;
};

void setMeterScales(OutlineMeter& meter, const float (&scales)[BakeSizeCount]) {
    for (int size = 0; size < BakeSizeCount; ++size) {
        const float flatness = FlatnessInPixels / scales[size];
        meter.flatnessSquared[size] = flatness * flatness;
    }
}

void startMeteredGlyph(OutlineMeter& meter) {
    meter.vertexCount = 0;
    for (uint64_t& count : meter.points) count = 0;
    meter.lastX = meter.lastY = 0.0f;
}

bool isOverBudget(const OutlineMeter& meter) {
    if (meter.vertexCount > MaxVerticesPerGlyph) return true;
    for (uint64_t count : meter.points)
        if (count > MaxFlattenedPointsPerGlyph) return true;
    return false;
}

// Same arithmetic as stbtt__tesselate_curve; stops early once over budget.
void countQuadraticPoints(uint64_t& count, float limit, float x0, float y0, float x1, float y1, float x2, float y2,
                          int depth) {
    const float middleX = (x0 + 2 * x1 + x2) / 4;
    const float middleY = (y0 + 2 * y1 + y2) / 4;
    const float dx = (x0 + x2) / 2 - middleX;
    const float dy = (y0 + y2) / 2 - middleY;
    if (depth > 16 || count > MaxFlattenedPointsPerGlyph) return;
    if (dx * dx + dy * dy > limit) {
        countQuadraticPoints(count, limit, x0, y0, (x0 + x1) / 2.0f, (y0 + y1) / 2.0f, middleX, middleY, depth + 1);
        countQuadraticPoints(count, limit, middleX, middleY, (x1 + x2) / 2.0f, (y1 + y2) / 2.0f, x2, y2, depth + 1);
    } else {
        ++count;
    }
}

// Same arithmetic as stbtt__tesselate_cubic.
void countCubicPoints(uint64_t& count, float limit, float x0, float y0, float x1, float y1, float x2, float y2,
                      float x3, float y3, int depth) {
    const float dx0 = x1 - x0, dy0 = y1 - y0;
    const float dx1 = x2 - x1, dy1 = y2 - y1;
    const float dx2 = x3 - x2, dy2 = y3 - y2;
    const float dx = x3 - x0, dy = y3 - y0;
    const float longLength = float(std::sqrt(dx0 * dx0 + dy0 * dy0) + std::sqrt(dx1 * dx1 + dy1 * dy1) +
                                   std::sqrt(dx2 * dx2 + dy2 * dy2));
    const float shortLength = float(std::sqrt(dx * dx + dy * dy));
    const float flatness = longLength * longLength - shortLength * shortLength;
    if (depth > 16 || count > MaxFlattenedPointsPerGlyph) return;
    if (flatness > limit) {
        const float x01 = (x0 + x1) / 2, y01 = (y0 + y1) / 2;
        const float x12 = (x1 + x2) / 2, y12 = (y1 + y2) / 2;
        const float x23 = (x2 + x3) / 2, y23 = (y2 + y3) / 2;
        const float xa = (x01 + x12) / 2, ya = (y01 + y12) / 2;
        const float xb = (x12 + x23) / 2, yb = (y12 + y23) / 2;
        const float middleX = (xa + xb) / 2, middleY = (ya + yb) / 2;
        countCubicPoints(count, limit, x0, y0, x01, y01, xa, ya, middleX, middleY, depth + 1);
        countCubicPoints(count, limit, middleX, middleY, xb, yb, x23, y23, x3, y3, depth + 1);
    } else {
        ++count;
    }
}

// One vertex as stb_truetype stores it: end point (x, y) and control points (cx, cy), (cx1, cy1).
void meterVertex(OutlineMeter& meter, VertexType type, int16_t x, int16_t y, int16_t cx, int16_t cy, int16_t cx1,
                 int16_t cy1) {
    ++meter.vertexCount;
    if (isOverBudget(meter)) return;
    for (int size = 0; size < BakeSizeCount; ++size) {
        uint64_t& count = meter.points[size];
        const float limit = meter.flatnessSquared[size];
        switch (type) {
        case VertexType::Move:
        case VertexType::Line: ++count; break;
        case VertexType::Curve: countQuadraticPoints(count, limit, meter.lastX, meter.lastY, cx, cy, x, y, 0); break;
        case VertexType::Cubic:
            countCubicPoints(count, limit, meter.lastX, meter.lastY, cx, cy, cx1, cy1, x, y, 0);
            break;
        }
    }
    meter.lastX = x;
    meter.lastY = y;
}

// ---------------------------------------------------------------------------------------------
// Glyph outlines (TrueType)

struct GlyphSpan {
    uint64_t begin = 0;
    uint64_t end = 0;
    bool empty = true;
};

// Mirrors stbtt__GetGlyfOffset. Glyphs past the glyph count are empty to stb_truetype; for the
// rest both loca entries must be readable and the glyph must lie inside glyf.
bool locateGlyph(const FontLayout& font, int64_t glyph, GlyphSpan& span) {
    span = GlyphSpan{};
    if (glyph >= int64_t(font.glyphCount)) return true;
    BoundedReader reader = tableReader(font, font.loca);
    uint64_t first, next;
    if (font.indexToLocFormat == 0) {
        first = uint64_t(readU16(reader, font.loca.offset + uint64_t(glyph) * 2)) * 2;
        next = uint64_t(readU16(reader, font.loca.offset + uint64_t(glyph) * 2 + 2)) * 2;
    } else {
        first = readU32(reader, font.loca.offset + uint64_t(glyph) * 4);
        next = readU32(reader, font.loca.offset + uint64_t(glyph) * 4 + 4);
    }
    if (reader.failed) return false;
    if (first == next) return true;
    if (first > next || next > font.glyf.length) return false;
    span.begin = font.glyf.offset + first;
    span.end = font.glyf.offset + next;
    span.empty = false;
    // Header: contour count and the box stb_truetype reads at 2..9.
    return next - first >= 10;
}

// A component placement as stb_truetype applies it: x' = m(a x + c y + e), y' = n(b x + d y + f).
struct ComponentTransform {
    float matrix[6] = {1, 0, 0, 1, 0, 0};
    float scaleX = 1.0f;
    float scaleY = 1.0f;
};

// stb_truetype converts the transformed float straight to a 16-bit coordinate; the value must fit.
bool transformCoordinate(const ComponentTransform& transform, int16_t& x, int16_t& y) {
    const float* matrix = transform.matrix;
    const float newX = transform.scaleX * (matrix[0] * x + matrix[2] * y + matrix[4]);
    const float newY = transform.scaleY * (matrix[1] * x + matrix[3] * y + matrix[5]);
    if (!(newX > MinCoordinate && newX < MaxCoordinate && newY > MinCoordinate && newY < MaxCoordinate))
        return false;
    x = int16_t(newX);
    y = int16_t(newY);
    return true;
}

struct GlyphPoint {
    uint32_t flags = 0;
    int16_t x = 0;
    int16_t y = 0;
};

// Decodes a simple glyph's points in order from its flag, x and y streams, once their extents are
// known to lie inside the glyph; one point can be looked at before its turn.
struct PointStream {
    const unsigned char* data = nullptr;
    uint64_t flagsAt = 0, xAt = 0, yAt = 0;
    uint32_t flags = 0;
    uint8_t repeat = 0;
    int32_t x = 0;
    int32_t y = 0;
    GlyphPoint pending = {};
    bool hasPending = false;
};

GlyphPoint decodePoint(PointStream& stream) {
    const unsigned char* data = stream.data;
    if (stream.repeat == 0) {
        stream.flags = data[stream.flagsAt++];
        if (stream.flags & 8) stream.repeat = data[stream.flagsAt++];
    } else {
        --stream.repeat;
    }
    if (stream.flags & 2) {
        const int32_t delta = data[stream.xAt++];
        stream.x += (stream.flags & 16) ? delta : -delta;
    } else if (!(stream.flags & 16)) {
        stream.x += int16_t((data[stream.xAt] << 8) | data[stream.xAt + 1]);
        stream.xAt += 2;
    }
    if (stream.flags & 4) {
        const int32_t delta = data[stream.yAt++];
        stream.y += (stream.flags & 32) ? delta : -delta;
    } else if (!(stream.flags & 32)) {
        stream.y += int16_t((data[stream.yAt] << 8) | data[stream.yAt + 1]);
        stream.yAt += 2;
    }
    return GlyphPoint{stream.flags, int16_t(stream.x), int16_t(stream.y)};
}

GlyphPoint nextPoint(PointStream& stream) {
    if (stream.hasPending) {
        stream.hasPending = false;
        return stream.pending;
    }
    return decodePoint(stream);
}

GlyphPoint peekPoint(PointStream& stream) {
    if (!stream.hasPending) {
        stream.pending = decodePoint(stream);
        stream.hasPending = true;
    }
    return stream.pending;
}

// Walks one top-level glyph and all its components the way stbtt__GetGlyphShapeTT does, feeding
// every vertex (after the component transforms stb_truetype would apply) to the meter. `limits` is
// the glyph's own box widened by a little slack: points outside it would send stb_truetype's
// rasterizer down its slow clipping path, whose cost grows with the atlas width.
struct TrueTypeWalk {
    const FontLayout& font;
    OutlineMeter& meter;
    GlyphBox limits;
    ComponentTransform transforms[MaxCompositeDepth] = {};  // the components' placements, outermost first
    int transformCount = 0;
    int componentVisits = 0;
};

bool isInsideBox(const GlyphBox& box, int32_t x, int32_t y) {
    return x >= box.x0 && x <= box.x1 && y >= box.y0 && y <= box.y1;
}

// stb_truetype stores vertices as 16-bit values, then transforms them component by component.
bool emitVertex(TrueTypeWalk& walk, VertexType type, int32_t x, int32_t y, int32_t cx, int32_t cy) {
    int16_t vertexX = int16_t(x), vertexY = int16_t(y), controlX = int16_t(cx), controlY = int16_t(cy);
    for (int level = walk.transformCount - 1; level >= 0; --level) {
        if (!transformCoordinate(walk.transforms[level], vertexX, vertexY)) return false;
        if (!transformCoordinate(walk.transforms[level], controlX, controlY)) return false;
    }
    if (!isInsideBox(walk.limits, vertexX, vertexY)) return false;
    if (type == VertexType::Curve && !isInsideBox(walk.limits, controlX, controlY)) return false;
    meterVertex(walk.meter, type, vertexX, vertexY, controlX, controlY, 0, 0);
    return !isOverBudget(walk.meter);
}

// Where the current contour started and whether the last point was off the curve.
struct ContourState {
    int32_t startX = 0, startY = 0, controlX = 0, controlY = 0, startControlX = 0, startControlY = 0;
    bool wasOff = false;
    bool startOff = false;
};

// stbtt__close_shape.
bool closeContour(TrueTypeWalk& walk, const ContourState& state) {
    if (state.startOff) {
        if (state.wasOff &&
            !emitVertex(walk, VertexType::Curve, (state.controlX + state.startControlX) >> 1,
                        (state.controlY + state.startControlY) >> 1, state.controlX, state.controlY))
            return false;
        return emitVertex(walk, VertexType::Curve, state.startX, state.startY, state.startControlX,
                          state.startControlY);
    }
    if (state.wasOff)
        return emitVertex(walk, VertexType::Curve, state.startX, state.startY, state.controlX, state.controlY);
    return emitVertex(walk, VertexType::Line, state.startX, state.startY, 0, 0);
}

// The flag pass as stb_truetype runs it, sizing the x and y streams on the way; `xAt` is where the
// flags end and the x stream starts.
bool measurePointStreams(BoundedReader& reader, uint64_t flagsAt, int32_t pointCount, uint64_t& xAt,
                         uint64_t& xBytes, uint64_t& yBytes) {
    uint64_t at = flagsAt;
    uint32_t flags = 0;
    uint32_t repeat = 0;
    xBytes = yBytes = 0;
    for (int32_t i = 0; i < pointCount; ++i) {
        if (repeat == 0) {
            flags = readU8(reader, at++);
            if (flags & 8) repeat = readU8(reader, at++);
        } else {
            --repeat;
        }
        xBytes += (flags & 2) ? 1 : (flags & 16) ? 0 : 2;
        yBytes += (flags & 4) ? 1 : (flags & 32) ? 0 : 2;
    }
    xAt = at;
    return !reader.failed;
}

// Starts a contour at its first point when that is on the curve. Otherwise the start lies between
// it and the following point, or on the following point when that one is on the curve, which is
// then used up (`tookFollowing`).
bool startContour(TrueTypeWalk& walk, PointStream& points, const GlyphPoint& first, bool isLastPoint,
                  ContourState& state, bool& tookFollowing) {
    const int32_t x = first.x, y = first.y;
    tookFollowing = false;
    state.startOff = !(first.flags & 1);
    if (state.startOff) {
        // Past the last point stb_truetype would read beyond its own vertex array.
        if (isLastPoint) return false;
        state.startControlX = x;
        state.startControlY = y;
        const GlyphPoint following = peekPoint(points);
        if (!(following.flags & 1)) {
            state.startX = (x + int32_t(following.x)) >> 1;
            state.startY = (y + int32_t(following.y)) >> 1;
        } else {
            state.startX = following.x;
            state.startY = following.y;
            nextPoint(points);
            tookFollowing = true;
        }
    } else {
        state.startX = x;
        state.startY = y;
    }
    if (!emitVertex(walk, VertexType::Move, state.startX, state.startY, 0, 0)) return false;
    state.wasOff = false;
    return true;
}

// Contour conversion, step for step with stbtt__GetGlyphShapeTT.
bool convertContours(TrueTypeWalk& walk, BoundedReader& reader, PointStream& points, uint64_t endPoints,
                     int32_t pointCount) {
    ContourState state;
    int32_t nextMove = 0;
    int32_t contour = 0;
    for (int32_t i = 0; i < pointCount; ++i) {
        const GlyphPoint point = nextPoint(points);
        const int32_t x = point.x, y = point.y;
        if (nextMove == i) {
            if (i != 0 && !closeContour(walk, state)) return false;
            bool tookFollowing = false;
            if (!startContour(walk, points, point, i + 1 >= pointCount, state, tookFollowing)) return false;
            if (tookFollowing) ++i;
            nextMove = 1 + int32_t(readU16(reader, endPoints + uint64_t(contour) * 2));
            ++contour;
            if (reader.failed) return false;
        } else if (!(point.flags & 1)) {
            if (state.wasOff && !emitVertex(walk, VertexType::Curve, (state.controlX + x) >> 1,
                                            (state.controlY + y) >> 1, state.controlX, state.controlY))
                return false;
            state.controlX = x;
            state.controlY = y;
            state.wasOff = true;
        } else {
            const bool drawn = state.wasOff ? emitVertex(walk, VertexType::Curve, x, y, state.controlX, state.controlY)
                                            : emitVertex(walk, VertexType::Line, x, y, 0, 0);
            if (!drawn) return false;
            state.wasOff = false;
        }
    }
    return closeContour(walk, state);
}

bool walkSimpleGlyph(TrueTypeWalk& walk, const GlyphSpan& span, int32_t contourCount) {
    BoundedReader reader = readerOver(walk.font.data, span.begin, span.end);
    const uint64_t endPoints = span.begin + 10;
    const uint64_t instructionLength = readU16(reader, endPoints + uint64_t(contourCount) * 2);
    const uint64_t flagsAt = endPoints + uint64_t(contourCount) * 2 + 2 + instructionLength;
    // Like stb_truetype, the point count comes from the last contour end alone.
    const int32_t pointCount = 1 + int32_t(readU16(reader, endPoints + uint64_t(contourCount) * 2 - 2));
    if (reader.failed || flagsAt > span.end) return false;
    uint64_t xAt = 0, xBytes = 0, yBytes = 0;
    if (!measurePointStreams(reader, flagsAt, pointCount, xAt, xBytes, yBytes)) return false;
    if (xAt + xBytes + yBytes > span.end) return false;
    PointStream points{.data = walk.font.data, .flagsAt = flagsAt, .xAt = xAt, .yAt = xAt + xBytes};
    return convertContours(walk, reader, points, endPoints, pointCount);
}

// A component's offsets and its optional scale, 2-by-2 scale or full matrix; `at` moves past them.
void readComponentPlacement(BoundedReader& reader, uint32_t flags, uint64_t& at, ComponentTransform& transform) {
    float* matrix = transform.matrix;
    if (flags & 1) {
        matrix[4] = float(readS16(reader, at));
        matrix[5] = float(readS16(reader, at + 2));
        at += 4;
    } else {
        matrix[4] = float(readS8(reader, at));
        matrix[5] = float(readS8(reader, at + 1));
        at += 2;
    }
    if (flags & (1 << 3)) {
        matrix[0] = matrix[3] = readS16(reader, at) / 16384.0f;
        matrix[1] = matrix[2] = 0;
        at += 2;
    } else if (flags & (1 << 6)) {
        matrix[0] = readS16(reader, at) / 16384.0f;
        matrix[1] = matrix[2] = 0;
        matrix[3] = readS16(reader, at + 2) / 16384.0f;
        at += 4;
    } else if (flags & (1 << 7)) {
        matrix[0] = readS16(reader, at) / 16384.0f;
        matrix[1] = readS16(reader, at + 2) / 16384.0f;
        matrix[2] = readS16(reader, at + 4) / 16384.0f;
        matrix[3] = readS16(reader, at + 6) / 16384.0f;
        at += 8;
    }
}

bool walkGlyph(TrueTypeWalk& walk, int64_t glyph, int depth);

bool walkCompositeGlyph(TrueTypeWalk& walk, const GlyphSpan& span, int depth) {
    BoundedReader reader = readerOver(walk.font.data, span.begin, span.end);
    uint64_t at = span.begin + 10;
    bool more = true;
    while (more) {
        const uint32_t flags = readU16(reader, at);
        const uint32_t component = readU16(reader, at + 2);
        at += 4;
        // Without offsets stb_truetype asserts and then misreads the rest of the record.
        if (!(flags & 2)) return false;
        ComponentTransform transform;
        readComponentPlacement(reader, flags, at, transform);
        if (reader.failed) return false;
        const float* matrix = transform.matrix;
        transform.scaleX = float(std::sqrt(matrix[0] * matrix[0] + matrix[1] * matrix[1]));
        transform.scaleY = float(std::sqrt(matrix[2] * matrix[2] + matrix[3] * matrix[3]));

        // stb_truetype recurses without limit, so cycles and deep or wide trees are refused.
        if (depth + 1 > MaxCompositeDepth || ++walk.componentVisits > MaxComponentsPerGlyph) return false;
        walk.transforms[walk.transformCount++] = transform;
        const bool drawn = walkGlyph(walk, component, depth + 1);
        --walk.transformCount;
        if (!drawn) return false;
        more = (flags & (1 << 5)) != 0;
    }
    return true;
}

bool walkGlyph(TrueTypeWalk& walk, int64_t glyph, int depth) {
    GlyphSpan span;
    if (!locateGlyph(walk.font, glyph, span)) return false;
    if (span.empty) return true;
    BoundedReader reader = readerOver(walk.font.data, span.begin, span.end);
    const int32_t contourCount = readS16(reader, span.begin);
    if (contourCount > 0) return walkSimpleGlyph(walk, span, contourCount);
    if (contourCount < 0) return walkCompositeGlyph(walk, span, depth);
    return true;
}

bool checkTrueTypeGlyph(const FontLayout& font, int64_t glyph, OutlineMeter& meter, GlyphBox& box) {
    box = GlyphBox{};
    GlyphSpan span;
    if (!locateGlyph(font, glyph, span)) return false;
    if (span.empty) return true;
    BoundedReader reader = readerOver(font.data, span.begin, span.end);
    box.x0 = readS16(reader, span.begin + 2);
    box.y0 = readS16(reader, span.begin + 4);
    box.x1 = readS16(reader, span.begin + 6);
    box.y1 = readS16(reader, span.begin + 8);
    const int32_t slack = std::max(MinOutlineBoxSlack, font.fontHeight / OutlineBoxSlackDivisor);
    const GlyphBox limits{box.x0 - slack, box.y0 - slack, box.x1 + slack, box.y1 + slack};
    TrueTypeWalk walk{.font = font, .meter = meter, .limits = limits};
    return !reader.failed && walkGlyph(walk, glyph, 0);
}

// ---------------------------------------------------------------------------------------------
// CFF tables

// The same cursor rules as stb_truetype's stbtt__buf: reads past the end give 0 without moving,
// and a seek outside the buffer is what its assert catches, recorded here as a fault.
struct CffCursor {
    const unsigned char* data = nullptr;
    int32_t size = 0;
    int32_t position = 0;
    bool fault = false;
};

CffCursor cursorOver(const FontLayout& font, uint64_t begin, uint64_t end) {
    CffCursor cursor;
    cursor.data = font.data + begin;
    cursor.size = int32_t(end - begin);
    return cursor;
}

uint32_t takeByte(CffCursor& cursor) { return cursor.position >= cursor.size ? 0 : cursor.data[cursor.position++]; }

uint32_t peekByte(const CffCursor& cursor) { return cursor.position >= cursor.size ? 0 : cursor.data[cursor.position]; }

void seekTo(CffCursor& cursor, int64_t offset) {
    if (offset > cursor.size || offset < 0) {
        cursor.fault = true;
        cursor.position = cursor.size;
    } else {
        cursor.position = int32_t(offset);
    }
}

void skipBytes(CffCursor& cursor, int64_t count) { seekTo(cursor, int64_t(cursor.position) + count); }

// A big-endian number `count` bytes long.
uint32_t takeBytes(CffCursor& cursor, int count) {
    uint32_t value = 0;
    for (int i = 0; i < count; ++i) value = (value << 8) | takeByte(cursor);
    return value;
}

// Reads and checks an INDEX at a file offset: offset size 1..4, offsets starting at 1 and never
// falling, and everything inside the CFF table (stb_truetype itself bounds CFF reads only by a
// fixed 512 MiB, not by the table).
bool readCffIndex(const FontLayout& font, uint64_t at, CffIndex& index) {
    BoundedReader reader = tableReader(font, font.cff);
    index = CffIndex{};
    index.start = at;
    index.count = readU16(reader, at);
    if (reader.failed) return false;
    if (index.count == 0) {
        index.dataBase = index.end = at + 2;
        return true;
    }
    index.offsetSize = readU8(reader, at + 2);
    if (reader.failed || index.offsetSize < 1 || index.offsetSize > 4) return false;
    const uint64_t offsets = at + 3;
    if (offsets + uint64_t(index.offsetSize) * (uint64_t(index.count) + 1) > tableEnd(font.cff)) return false;
    uint64_t previous = 0;
    for (uint32_t i = 0; i <= index.count; ++i) {
        uint64_t value = 0;
        for (uint32_t byte = 0; byte < index.offsetSize; ++byte)
            value = (value << 8) | readU8(reader, offsets + uint64_t(i) * index.offsetSize + byte);
        if ((i == 0 && value != 1) || value < previous) return false;
        previous = value;
    }
    index.dataBase = at + 2 + uint64_t(index.offsetSize) * (uint64_t(index.count) + 1);
    index.end = index.dataBase + previous;
    return !reader.failed && index.end <= tableEnd(font.cff);
}

// Element `element` of a checked INDEX; false for an element the INDEX does not have.
bool cffIndexElement(const FontLayout& font, const CffIndex& index, int64_t element, uint64_t& begin, uint64_t& end) {
    if (element < 0 || element >= int64_t(index.count)) return false;
    BoundedReader reader = tableReader(font, font.cff);
    const uint64_t offsets = index.start + 3;
    uint64_t values[2] = {0, 0};
    for (int which = 0; which < 2; ++which)
        for (uint32_t byte = 0; byte < index.offsetSize; ++byte)
            values[which] = (values[which] << 8) |
                            readU8(reader, offsets + (uint64_t(element) + which) * index.offsetSize + byte);
    begin = index.dataBase + values[0];
    end = index.dataBase + values[1];
    return !reader.failed;
}

// stbtt__cff_int: integer operands only. Lead bytes 30 (real), 31 and 255 reach its assert.
bool readCffInteger(CffCursor& cursor, uint32_t& value) {
    const uint32_t lead = takeByte(cursor);
    if (lead >= 32 && lead <= 246) {
        value = lead - 139;
    } else if (lead >= 247 && lead <= 250) {
        value = (lead - 247) * 256 + takeByte(cursor) + 108;
    } else if (lead >= 251 && lead <= 254) {
        value = uint32_t(-int32_t(lead - 251) * 256 - int32_t(takeByte(cursor)) - 108);
    } else if (lead == 28) {
        value = takeBytes(cursor, 2);
    } else if (lead == 29) {
        value = takeBytes(cursor, 4);
    } else {
        return false;
    }
    return true;
}

// stbtt__cff_skip_operand.
bool skipCffOperand(CffCursor& cursor) {
    if (peekByte(cursor) == 30) {
        skipBytes(cursor, 1);
        while (cursor.position < cursor.size) {
            const uint32_t value = takeByte(cursor);
            if ((value & 0xF) == 0xF || (value >> 4) == 0xF) break;
        }
        return true;
    }
    uint32_t ignored = 0;
    return readCffInteger(cursor, ignored);
}

// Walks a whole DICT as stbtt__dict_get does, refusing operands that would trip its asserts.
bool checkCffDict(CffCursor dict) {
    seekTo(dict, 0);
    while (dict.position < dict.size) {
        while (peekByte(dict) >= 28)
            if (!skipCffOperand(dict)) return false;
        if (takeByte(dict) == 12) takeByte(dict);
    }
    return !dict.fault;
}

// stbtt__dict_get_ints: up to `count` integer operands of the first entry with `key`; values the
// entry does not supply keep what the caller put in.
bool readCffDictIntegers(CffCursor dict, uint32_t key, int count, uint32_t* values) {
    seekTo(dict, 0);
    while (dict.position < dict.size) {
        const int32_t start = dict.position;
        while (peekByte(dict) >= 28)
            if (!skipCffOperand(dict)) return false;
        const int32_t end = dict.position;
        uint32_t op = takeByte(dict);
        if (op == 12) op = takeByte(dict) | 0x100;
        if (op == key) {
            CffCursor operands;
            operands.data = dict.data + start;
            operands.size = end - start;
            for (int i = 0; i < count && operands.position < operands.size; ++i)
                if (!readCffInteger(operands, values[i])) return false;
            return true;
        }
    }
    return !dict.fault;
}

// The Private DICT, [size, offset] from the Top DICT, and its Subrs INDEX when it names one.
bool readCffPrivateDict(FontLayout& font, uint64_t privateSize, uint64_t privateOffset) {
    const uint64_t base = font.cff.offset;
    if (privateOffset + privateSize > font.cff.length) return false;
    const CffCursor privateCursor = cursorOver(font, base + privateOffset, base + privateOffset + privateSize);
    if (!checkCffDict(privateCursor)) return false;
    uint32_t subroutines = 0;
    if (!readCffDictIntegers(privateCursor, 19, 1, &subroutines)) return false;
    if (subroutines == 0) return true;
    const uint64_t at = privateOffset + subroutines;
    return at <= font.cff.length && readCffIndex(font, base + at, font.cffLayout.localSubroutines);
}

// Follows stbtt_InitFont's CFF branch: header, Name, Top DICT, String and Global Subrs INDEXes,
// the Top DICT entries it uses, the Private DICT and its Subrs INDEX, and the CharStrings INDEX.
bool readCffOutlines(FontLayout& font) {
    const uint64_t base = font.cff.offset;
    BoundedReader reader = tableReader(font, font.cff);
    const uint64_t headerSize = readU8(reader, base + 2);
    if (reader.failed) return false;

    CffIndex names, topDicts, strings;
    CffLayout& cff = font.cffLayout;
    if (!readCffIndex(font, base + headerSize, names)) return false;
    if (!readCffIndex(font, names.end, topDicts) || topDicts.count < 1) return false;
    if (!readCffIndex(font, topDicts.end, strings)) return false;
    if (!readCffIndex(font, strings.end, cff.globalSubroutines)) return false;

    uint64_t topBegin, topEnd;
    if (!cffIndexElement(font, topDicts, 0, topBegin, topEnd)) return false;
    const CffCursor topDict = cursorOver(font, topBegin, topEnd);
    if (!checkCffDict(topDict)) return false;

    uint32_t charStrings = 0, charstringType = 2, fontDictArray = 0, privateDict[2] = {0, 0};
    if (!readCffDictIntegers(topDict, 17, 1, &charStrings) ||
        !readCffDictIntegers(topDict, 0x100 | 6, 1, &charstringType) ||
        !readCffDictIntegers(topDict, 0x100 | 36, 1, &fontDictArray) ||
        !readCffDictIntegers(topDict, 18, 2, privateDict))
        return false;
    // CID-keyed fonts (FDArray/FDSelect) are refused rather than checked.
    if (charstringType != 2 || charStrings == 0 || fontDictArray != 0) return false;

    // stb_truetype ignores the Private DICT when its size or offset is zero.
    if (privateDict[0] != 0 && privateDict[1] != 0 && !readCffPrivateDict(font, privateDict[0], privateDict[1]))
        return false;
    if (charStrings > font.cff.length) return false;
    return readCffIndex(font, base + charStrings, cff.charStrings);
}

// ---------------------------------------------------------------------------------------------
// Type 2 charstrings

// The drawing context of stb_truetype's Type 2 interpreter (stbtt__csctx), with every float it
// turns into an int checked to lie in the 16-bit range first. Lives for one glyph.
struct Type2Pen {
    OutlineMeter& meter;
    bool started = false;
    bool inRange = true;
    float firstX = 0, firstY = 0, x = 0, y = 0;
    int32_t minX = 0, maxX = 0, minY = 0, maxY = 0;
};

bool fitsCoordinate(float value) { return value >= MinCoordinate && value <= MaxCoordinate; }

void trackPenBounds(Type2Pen& pen, int32_t x, int32_t y) {
    if (x > pen.maxX || !pen.started) pen.maxX = x;
    if (y > pen.maxY || !pen.started) pen.maxY = y;
    if (x < pen.minX || !pen.started) pen.minX = x;
    if (y < pen.minY || !pen.started) pen.minY = y;
    pen.started = true;
}

void penVertex(Type2Pen& pen, VertexType type, float x, float y, float cx, float cy, float cx1, float cy1) {
    if (!fitsCoordinate(x) || !fitsCoordinate(y) || !fitsCoordinate(cx) || !fitsCoordinate(cy) ||
        !fitsCoordinate(cx1) || !fitsCoordinate(cy1)) {
        pen.inRange = false;
        return;
    }
    const int32_t ix = int32_t(x), iy = int32_t(y), icx = int32_t(cx), icy = int32_t(cy);
    const int32_t icx1 = int32_t(cx1), icy1 = int32_t(cy1);
    trackPenBounds(pen, ix, iy);
    if (type == VertexType::Cubic) {
        trackPenBounds(pen, icx, icy);
        trackPenBounds(pen, icx1, icy1);
    }
    meterVertex(pen.meter, type, int16_t(ix), int16_t(iy), int16_t(icx), int16_t(icy), int16_t(icx1), int16_t(icy1));
}

void penCloseShape(Type2Pen& pen) {
    if (pen.firstX != pen.x || pen.firstY != pen.y)
        penVertex(pen, VertexType::Line, pen.firstX, pen.firstY, 0, 0, 0, 0);
}

void penMoveBy(Type2Pen& pen, float dx, float dy) {
    penCloseShape(pen);
    pen.firstX = pen.x = pen.x + dx;
    pen.firstY = pen.y = pen.y + dy;
    penVertex(pen, VertexType::Move, pen.x, pen.y, 0, 0, 0, 0);
}

void penLineBy(Type2Pen& pen, float dx, float dy) {
    pen.x += dx;
    pen.y += dy;
    penVertex(pen, VertexType::Line, pen.x, pen.y, 0, 0, 0, 0);
}

void penCurveBy(Type2Pen& pen, float dx1, float dy1, float dx2, float dy2, float dx3, float dy3) {
    const float cx1 = pen.x + dx1, cy1 = pen.y + dy1;
    const float cx2 = cx1 + dx2, cy2 = cy1 + dy2;
    pen.x = cx2 + dx3;
    pen.y = cy2 + dy3;
    penVertex(pen, VertexType::Cubic, pen.x, pen.y, cx1, cy1, cx2, cy2);
}

bool isPenHealthy(const Type2Pen& pen) { return pen.inRange && !isOverBudget(pen.meter); }

GlyphBox penBox(const Type2Pen& pen) {
    GlyphBox box;
    if (pen.started) box = GlyphBox{pen.minX, pen.minY, pen.maxX, pen.maxY};
    return box;
}

// What running a charstring means to stb_truetype: it draws, or gives up on the glyph (which is
// safe and leaves it blank), or - for the font check - would do something unsafe.
enum class CharstringResult { Refused, Blank, Drawn };

// One glyph's run of stbtt__run_charstring: the program being read and the callers to return to,
// the operand stack, and the stem hint count that sizes hint masks.
struct CharstringRun {
    const FontLayout& font;
    Type2Pen pen;
    CffCursor program = {};
    CffCursor callers[CharstringCallDepth] = {};
    int callDepth = 0;
    float stack[CharstringStackCapacity] = {};
    int stackSize = 0;
    int maskBits = 0;
    bool inHeader = true;
};

// What one operator leaves for the interpreter loop: go on with the operand stack cleared or kept,
// or stop with the glyph blank or refused.
enum class OperatorOutcome { ClearStack, KeepStack, Blank, Refused };

// hstem, vstem, hstemhm, vstemhm count hints; hintmask and cntrmask skip a mask sized by the count.
OperatorOutcome runHintOperator(CharstringRun& run, uint32_t op) {
    if (op == 0x13 || op == 0x14) {  // hintmask, cntrmask
        if (run.inHeader) run.maskBits += run.stackSize / 2;
        run.inHeader = false;
        skipBytes(run.program, (run.maskBits + 7) / 8);
        return run.program.fault ? OperatorOutcome::Refused : OperatorOutcome::ClearStack;
    }
    run.maskBits += run.stackSize / 2;
    return OperatorOutcome::ClearStack;
}

OperatorOutcome runMoveOperator(CharstringRun& run, uint32_t op) {
    const float* stack = run.stack;
    const int stackSize = run.stackSize;
    run.inHeader = false;
    if (op == 0x15) {  // rmoveto
        if (stackSize < 2) return OperatorOutcome::Blank;
        penMoveBy(run.pen, stack[stackSize - 2], stack[stackSize - 1]);
    } else if (op == 0x04) {  // vmoveto
        if (stackSize < 1) return OperatorOutcome::Blank;
        penMoveBy(run.pen, 0, stack[stackSize - 1]);
    } else {  // hmoveto
        if (stackSize < 1) return OperatorOutcome::Blank;
        penMoveBy(run.pen, stack[stackSize - 1], 0);
    }
    return OperatorOutcome::ClearStack;
}

OperatorOutcome runLineOperator(CharstringRun& run, uint32_t op) {
    const float* stack = run.stack;
    const int stackSize = run.stackSize;
    int i = 0;
    if (op == 0x05) {  // rlineto
        if (stackSize < 2) return OperatorOutcome::Blank;
        for (; i + 1 < stackSize; i += 2) penLineBy(run.pen, stack[i], stack[i + 1]);
        return OperatorOutcome::ClearStack;
    }
    // hlineto and vlineto alternate horizontal and vertical lines, starting as named.
    if (stackSize < 1) return OperatorOutcome::Blank;
    for (bool horizontal = op == 0x06; i < stackSize; ++i, horizontal = !horizontal) {
        if (horizontal) penLineBy(run.pen, stack[i], 0);
        else penLineBy(run.pen, 0, stack[i]);
    }
    return OperatorOutcome::ClearStack;
}

OperatorOutcome runCurveOperator(CharstringRun& run, uint32_t op) {
    const float* stack = run.stack;
    const int stackSize = run.stackSize;
    int i = 0;
    if (op == 0x08) {  // rrcurveto
        if (stackSize < 6) return OperatorOutcome::Blank;
        for (; i + 5 < stackSize; i += 6)
            penCurveBy(run.pen, stack[i], stack[i + 1], stack[i + 2], stack[i + 3], stack[i + 4], stack[i + 5]);
    } else if (op == 0x1E || op == 0x1F) {  // vhcurveto, hvcurveto
        if (stackSize < 4) return OperatorOutcome::Blank;
        for (bool vertical = op == 0x1E; i + 3 < stackSize; i += 4, vertical = !vertical) {
            const float last = (stackSize - i == 5) ? stack[i + 4] : 0.0f;
            if (vertical) penCurveBy(run.pen, 0, stack[i], stack[i + 1], stack[i + 2], stack[i + 3], last);
            else penCurveBy(run.pen, stack[i], 0, stack[i + 1], stack[i + 2], last, stack[i + 3]);
        }
    } else {  // vvcurveto, hhcurveto
        if (stackSize < 4) return OperatorOutcome::Blank;
        float first = 0.0f;
        if (stackSize & 1) first = stack[i++];
        for (; i + 3 < stackSize; i += 4) {
            if (op == 0x1B) penCurveBy(run.pen, stack[i], first, stack[i + 1], stack[i + 2], stack[i + 3], 0.0f);
            else penCurveBy(run.pen, first, stack[i], stack[i + 1], stack[i + 2], 0.0f, stack[i + 3]);
            first = 0.0f;
        }
    }
    return OperatorOutcome::ClearStack;
}

// rcurveline: curves, then one line; rlinecurve: lines, then one curve.
OperatorOutcome runCurveLineOperator(CharstringRun& run, uint32_t op) {
    const float* stack = run.stack;
    const int stackSize = run.stackSize;
    int i = 0;
    if (stackSize < 8) return OperatorOutcome::Blank;
    if (op == 0x18) {  // rcurveline
        for (; i + 5 < stackSize - 2; i += 6)
            penCurveBy(run.pen, stack[i], stack[i + 1], stack[i + 2], stack[i + 3], stack[i + 4], stack[i + 5]);
        if (i + 1 >= stackSize) return OperatorOutcome::Blank;
        penLineBy(run.pen, stack[i], stack[i + 1]);
    } else {  // rlinecurve
        for (; i + 1 < stackSize - 6; i += 2) penLineBy(run.pen, stack[i], stack[i + 1]);
        if (i + 5 >= stackSize) return OperatorOutcome::Blank;
        penCurveBy(run.pen, stack[i], stack[i + 1], stack[i + 2], stack[i + 3], stack[i + 4], stack[i + 5]);
    }
    return OperatorOutcome::ClearStack;
}

// stbtt__get_subr: biased number, and an empty subroutine counts as missing.
bool findSubroutine(const FontLayout& font, const CffIndex& index, int number, CffCursor& program) {
    const int count = int(index.count);
    const int bias = count >= 33900 ? 32768 : count >= 1240 ? 1131 : 107;
    number += bias;
    if (number < 0 || number >= count) return false;
    uint64_t begin, end;
    if (!cffIndexElement(font, index, number, begin, end)) return false;
    if (begin == end) return false;
    program = cursorOver(font, begin, end);
    return true;
}

// callsubr and callgsubr take their subroutine number from the stack; return resumes the caller.
// Neither clears the stack, which carries the subroutine's operands.
OperatorOutcome runSubroutineOperator(CharstringRun& run, uint32_t op) {
    if (op == 0x0B) {  // return
        if (run.callDepth <= 0) return OperatorOutcome::Blank;
        run.program = run.callers[--run.callDepth];
        return OperatorOutcome::KeepStack;
    }
    if (run.stackSize < 1) return OperatorOutcome::Blank;
    const int number = int(run.stack[--run.stackSize]);
    if (run.callDepth >= CharstringCallDepth) return OperatorOutcome::Blank;
    run.callers[run.callDepth++] = run.program;
    const CffLayout& cff = run.font.cffLayout;
    if (!findSubroutine(run.font, op == 0x0A ? cff.localSubroutines : cff.globalSubroutines, number, run.program))
        return OperatorOutcome::Blank;
    return OperatorOutcome::KeepStack;
}

// The two-byte flex operators; any other two-byte operator stops stb_truetype's interpreter.
OperatorOutcome runFlexOperator(CharstringRun& run) {
    const float* s = run.stack;
    const int stackSize = run.stackSize;
    Type2Pen& pen = run.pen;
    switch (takeByte(run.program)) {
    case 0x22:  // hflex
        if (stackSize < 7) return OperatorOutcome::Blank;
        penCurveBy(pen, s[0], 0, s[1], s[2], s[3], 0);
        penCurveBy(pen, s[4], 0, s[5], -s[2], s[6], 0);
        return OperatorOutcome::ClearStack;
    case 0x23:  // flex
        if (stackSize < 13) return OperatorOutcome::Blank;
        penCurveBy(pen, s[0], s[1], s[2], s[3], s[4], s[5]);
        penCurveBy(pen, s[6], s[7], s[8], s[9], s[10], s[11]);
        return OperatorOutcome::ClearStack;
    case 0x24:  // hflex1
        if (stackSize < 9) return OperatorOutcome::Blank;
        penCurveBy(pen, s[0], s[1], s[2], s[3], s[4], 0);
        penCurveBy(pen, s[5], 0, s[6], s[7], s[8], -(s[1] + s[3] + s[7]));
        return OperatorOutcome::ClearStack;
    case 0x25: {  // flex1
        if (stackSize < 11) return OperatorOutcome::Blank;
        const float dx = s[0] + s[2] + s[4] + s[6] + s[8];
        const float dy = s[1] + s[3] + s[5] + s[7] + s[9];
        float dx6 = s[10], dy6 = s[10];
        if (std::fabs(dx) > std::fabs(dy)) dy6 = -dy;
        else dx6 = -dx;
        penCurveBy(pen, s[0], s[1], s[2], s[3], s[4], s[5]);
        penCurveBy(pen, s[6], s[7], s[8], s[9], dx6, dy6);
        return OperatorOutcome::ClearStack;
    }
    default: return OperatorOutcome::Blank;
    }
}

// A number: a 16.16 fixed-point value after 255, otherwise an integer read from the lead byte on.
// Unknown one-byte operators stop stb_truetype's interpreter.
OperatorOutcome pushOperand(CharstringRun& run, uint32_t op) {
    if (op != 255 && op != 28 && op < 32) return OperatorOutcome::Blank;
    float value;
    if (op == 255) {
        value = float(int32_t(takeBytes(run.program, 4))) / 0x10000;
    } else {
        skipBytes(run.program, -1);
        uint32_t integer = 0;
        readCffInteger(run.program, integer);
        value = float(int16_t(integer));
    }
    if (run.stackSize >= CharstringStackCapacity) return OperatorOutcome::Blank;
    run.stack[run.stackSize++] = value;
    return OperatorOutcome::KeepStack;
}

OperatorOutcome runOperator(CharstringRun& run, uint32_t op) {
    switch (op) {
    case 0x01: case 0x03: case 0x12: case 0x17:  // hstem, vstem, hstemhm, vstemhm
    case 0x13: case 0x14:                        // hintmask, cntrmask
        return runHintOperator(run, op);
    case 0x15: case 0x04: case 0x16:  // rmoveto, vmoveto, hmoveto
        return runMoveOperator(run, op);
    case 0x05: case 0x06: case 0x07:  // rlineto, hlineto, vlineto
        return runLineOperator(run, op);
    case 0x08: case 0x1E: case 0x1F: case 0x1A: case 0x1B:  // rrcurveto, vh-, hv-, vv-, hhcurveto
        return runCurveOperator(run, op);
    case 0x18: case 0x19:  // rcurveline, rlinecurve
        return runCurveLineOperator(run, op);
    case 0x0A: case 0x1D: case 0x0B:  // callsubr, callgsubr, return
        return runSubroutineOperator(run, op);
    case 0x0C:  // escape to a two-byte operator
        return runFlexOperator(run);
    default: return pushOperand(run, op);
    }
}

// Replays stbtt__run_charstring for one glyph, bounded to MaxCharstringSteps operators and
// operands; stops as soon as the pen leaves the 16-bit range or the glyph goes over budget.
CharstringResult runCharstring(CharstringRun& run, uint32_t glyph) {
    uint64_t begin, end;
    if (!cffIndexElement(run.font, run.font.cffLayout.charStrings, glyph, begin, end))
        return CharstringResult::Refused;
    run.program = cursorOver(run.font, begin, end);
    int steps = 0;
    while (run.program.position < run.program.size) {
        if (++steps > MaxCharstringSteps) return CharstringResult::Refused;
        const uint32_t op = takeByte(run.program);
        if (op == 0x0E) {  // endchar
            penCloseShape(run.pen);
            return isPenHealthy(run.pen) ? CharstringResult::Drawn : CharstringResult::Refused;
        }
        const OperatorOutcome outcome = runOperator(run, op);
        if (outcome == OperatorOutcome::Blank) return CharstringResult::Blank;
        if (outcome == OperatorOutcome::Refused) return CharstringResult::Refused;
        if (!isPenHealthy(run.pen)) return CharstringResult::Refused;
        if (outcome == OperatorOutcome::ClearStack) run.stackSize = 0;
    }
    return CharstringResult::Blank;  // no endchar
}

bool checkCffGlyph(const FontLayout& font, int64_t glyph, OutlineMeter& meter, GlyphBox& box) {
    box = GlyphBox{};
    // stb_truetype asserts on a glyph number outside the CharStrings INDEX.
    if (glyph < 0 || glyph >= int64_t(font.cffLayout.charStrings.count)) return false;
    CharstringRun run{.font = font, .pen = {.meter = meter}};
    const CharstringResult result = runCharstring(run, uint32_t(glyph));
    if (result == CharstringResult::Refused) return false;
    if (result == CharstringResult::Drawn) box = penBox(run.pen);
    else startMeteredGlyph(meter);  // a blank glyph has no vertices to rasterize
    return true;
}

// ---------------------------------------------------------------------------------------------
// Baking check

// stbtt_GetGlyphBitmapBox at the bake's scale; the glyph must be narrow enough for the atlas row
// and its box must not be inverted (the rasterizer would be handed a negative size).
bool fitsAtlas(const GlyphBox& box, float scale) {
    const int64_t x0 = int64_t(std::floor(box.x0 * scale));
    const int64_t y0 = int64_t(std::floor(-box.y1 * scale));
    const int64_t x1 = int64_t(std::ceil(box.x1 * scale));
    const int64_t y1 = int64_t(std::ceil(-box.y0 * scale));
    const int64_t width = x1 - x0, height = y1 - y0;
    return width >= 0 && height >= 0 && width <= MaxGlyphPixelWidth;
}

bool checkBakedGlyphs(const FontLayout& font) {
    float scales[BakeSizeCount];
    for (int size = 0; size < BakeSizeCount; ++size)
        scales[size] = BakePixelHeights[size] / float(font.fontHeight);  // stbtt_ScaleForPixelHeight
    OutlineMeter meter;
    setMeterScales(meter, scales);
    uint64_t fontPoints[BakeSizeCount] = {};

    for (int32_t codepoint = FirstCodepoint; codepoint < FirstCodepoint + CodepointCount; ++codepoint) {
        int64_t glyph = 0;
        if (!findGlyphIndex(font, codepoint, glyph)) return false;
        if (!checkHorizontalMetrics(font, glyph)) return false;
        startMeteredGlyph(meter);
        GlyphBox box;
        const bool drawable = font.cffOutlines ? checkCffGlyph(font, glyph, meter, box)
                                               : checkTrueTypeGlyph(font, glyph, meter, box);
        if (!drawable || isOverBudget(meter)) return false;
        for (int size = 0; size < BakeSizeCount; ++size) {
            if (!fitsAtlas(box, scales[size])) return false;
            fontPoints[size] += meter.points[size];
            if (fontPoints[size] > MaxFlattenedPointsPerFont) return false;
        }
    }
    return true;
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// Entry point

bool isFontDataSafe(const unsigned char* data, size_t size) {
    if (!data || size < 12 || uint64_t(size) > MaxFontBytes) return false;
    FontLayout font;
    font.data = data;
    font.size = size;
    if (!readTableDirectory(font) || !readFixedTables(font)) return false;
    if (!selectCharacterMap(font) || !checkCharacterMapArrays(font)) return false;
    if (!checkKerning(font) || !checkGlyphPositioning(font)) return false;
    if (font.cffOutlines && !readCffOutlines(font)) return false;
    return checkBakedGlyphs(font);
}
