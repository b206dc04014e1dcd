// Font file checks run before stb_truetype bakes the ASCII atlas. Each check follows the reads that
// stb_truetype's init, cmap lookup, metrics, glyph box/shape and bake code make, in the same order
// and with the same arithmetic, but bounded: a read that would leave its table refuses the font.
#include "ui/font_check.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace {

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

// stb_truetype's vertex kinds.
enum class VertexType { Move = 1, Line = 2, Curve = 3, Cubic = 4 };

constexpr uint32_t tagOf(const char (&text)[5]) {
    return (uint32_t(uint8_t(text[0])) << 24) | (uint32_t(uint8_t(text[1])) << 16) |
           (uint32_t(uint8_t(text[2])) << 8) | uint32_t(uint8_t(text[3]));
}

// Big-endian reads confined to [begin, end) of the file. A read outside marks the reader failed
// and yields 0, so a sequence of reads can be checked once at the end.
class BoundedReader {
public:
    BoundedReader(const unsigned char* data, uint64_t begin, uint64_t end)
        : data_(data), begin_(begin), end_(end) {}

    uint32_t u8(uint64_t at) { return fits(at, 1) ? data_[at] : 0; }
    int32_t s8(uint64_t at) { return int8_t(u8(at)); }
    uint32_t u16(uint64_t at) { return fits(at, 2) ? (uint32_t(data_[at]) << 8) | data_[at + 1] : 0; }
    int32_t s16(uint64_t at) { return int16_t(u16(at)); }
    uint32_t u32(uint64_t at) {
        if (!fits(at, 4)) return 0;
        return (uint32_t(data_[at]) << 24) | (uint32_t(data_[at + 1]) << 16) |
               (uint32_t(data_[at + 2]) << 8) | data_[at + 3];
    }
    bool failed() const { return failed_; }

private:
    bool fits(uint64_t at, uint64_t length) {
        if (at < begin_ || at > end_ || end_ - at < length) failed_ = true;
        return !failed_;
    }

    const unsigned char* data_;
    uint64_t begin_;
    uint64_t end_;
    bool failed_ = false;
};

struct TableSpan {
    uint64_t offset = 0;
    uint64_t length = 0;
    bool present = false;
    uint64_t end() const { return offset + length; }
};

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

// ---------------------------------------------------------------------------------------------
// Table directory and the small fixed tables

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
    BoundedReader reader(font.data, 0, font.size);
    if (!isKnownSfntVersion(reader.u32(0))) return false;
    const uint32_t tableCount = reader.u16(4);
    if (reader.failed() || 12 + uint64_t(tableCount) * 16 > font.size) return false;

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
        const uint32_t tag = reader.u32(record);
        const uint64_t offset = reader.u32(record + 8);
        const uint64_t length = reader.u32(record + 12);
        // 64-bit sums, so an offset plus length that wraps 32 bits is caught too.
        if (offset + length > font.size) return false;
        for (Wanted& entry : wanted)
            if (entry.tag == tag) noteTable(*entry.span, entry.seen, offset, length);
    }
    return !reader.failed();
}

bool readFixedTables(FontLayout& font) {
    if (!font.cmap.present || !font.head.present || !font.hhea.present || !font.hmtx.present)
        return false;
    // head is 54 bytes; stb_truetype reads indexToLocFormat at 50.
    if (font.head.length < 54) return false;
    // hhea is 36 bytes; stb_truetype reads ascent, descent and numberOfHMetrics at 4, 6 and 34.
    if (font.hhea.length < 36) return false;
    BoundedReader reader(font.data, 0, font.size);
    font.indexToLocFormat = reader.u16(font.head.offset + 50);
    font.fontHeight = reader.s16(font.hhea.offset + 4) - reader.s16(font.hhea.offset + 6);
    font.longMetricCount = reader.u16(font.hhea.offset + 34);
    // A non-positive height gives a zero, infinite or negative scale and nonsense glyph boxes.
    if (font.fontHeight <= 0) return false;

    font.glyphCount = 0xffff;  // stb_truetype's assumption when maxp is missing
    if (font.maxp.present) {
        if (font.maxp.length < 6) return false;
        font.glyphCount = reader.u16(font.maxp.offset + 4);
    }
    font.cffOutlines = !font.glyf.present;
    if (!font.cffOutlines) {
        if (!font.loca.present) return false;
        // stb_truetype treats every glyph as empty with other formats; such a font draws nothing.
        if (font.indexToLocFormat > 1) return false;
    } else if (!font.cff.present) {
        return false;
    }
    return !reader.failed();
}

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
    BoundedReader reader(font.data, font.kern.offset, font.kern.end());
    const uint64_t base = font.kern.offset;
    if (reader.u16(base + 2) < 1) return !reader.failed();
    if (reader.u16(base + 8) != 1) return !reader.failed();
    const uint64_t pairCount = reader.u16(base + 10);
    return !reader.failed() && 18 + pairCount * 6 <= font.kern.length;
}

// stb_truetype does not read GPOS while baking either; its kerning lookup only uses pair
// adjustment lookups (type 2) with an x-advance-only first value record. That lookup reads some
// fields before checking them, so every coverage index the coverage table can produce is checked.
class PositioningCheck {
public:
    explicit PositioningCheck(const FontLayout& font)
        : font_(font), reader_(font.data, font.gpos.offset, font.gpos.end()) {}

    bool run() {
        const uint64_t base = font_.gpos.offset;
        if (reader_.u16(base) != 1 || reader_.u16(base + 2) != 0) return !reader_.failed();
        const uint64_t lookupList = base + reader_.u16(base + 8);
        const uint32_t lookupCount = reader_.u16(lookupList);
        for (uint32_t i = 0; i < lookupCount && !reader_.failed(); ++i) {
            const uint64_t lookup = lookupList + reader_.u16(lookupList + 2 + 2 * uint64_t(i));
            const uint32_t lookupType = reader_.u16(lookup);
            const uint32_t subtableCount = reader_.u16(lookup + 4);
            if (!spend(1)) return false;
            if (lookupType != 2) continue;
            for (uint32_t subtable = 0; subtable < subtableCount && !reader_.failed(); ++subtable) {
                if (!spend(1)) return false;
                if (!checkPairAdjustment(lookup + reader_.u16(lookup + 6 + 2 * uint64_t(subtable)))) return false;
            }
        }
        return !reader_.failed();
    }

private:
    // stb_truetype walks every lookup and subtable on each kerning query; so does this check.
    bool spend(uint64_t steps) {
        work_ += steps;
        return work_ <= MaxPositioningWork;
    }

    // Largest index stbtt__GetCoverageIndex can return, or -1 when it never matches.
    int64_t largestCoverageIndex(uint64_t coverage) {
        const uint32_t format = reader_.u16(coverage);
        if (format != 1 && format != 2) return -1;
        const uint32_t count = reader_.u16(coverage + 2);
        if (format == 1) {
            if (count) reader_.u16(coverage + 4 + 2 * uint64_t(count - 1));
            return int64_t(count) - 1;
        }
        int64_t largest = -1;
        if (!spend(count)) return -1;
        for (uint32_t range = 0; range < count; ++range) {
            const uint64_t record = coverage + 4 + 6 * uint64_t(range);
            const int64_t start = reader_.u16(record), end = reader_.u16(record + 2);
            const int64_t first = reader_.u16(record + 4);
            if (start <= end) largest = std::max(largest, first + end - start);
        }
        return largest;
    }

    // stbtt__GetGlyphClass reads either a glyph-indexed array or class range records.
    void checkClassDefinition(uint64_t classes) {
        const uint32_t format = reader_.u16(classes);
        if (format == 1) {
            const uint32_t count = reader_.u16(classes + 4);
            if (count) reader_.u16(classes + 6 + 2 * uint64_t(count - 1));
        } else if (format == 2) {
            const uint32_t count = reader_.u16(classes + 2);
            if (count) reader_.u16(classes + 4 + 6 * uint64_t(count - 1) + 4);
        }
    }

    bool checkPairAdjustment(uint64_t table) {
        const uint32_t format = reader_.u16(table);
        const int64_t largest = largestCoverageIndex(table + reader_.u16(table + 2));
        if (reader_.failed() || work_ > MaxPositioningWork) return false;
        if (largest < 0 || (format != 1 && format != 2)) return true;
        if (reader_.u16(table + 4) != 4 || reader_.u16(table + 6) != 0) return !reader_.failed();
        if (format == 1) {
            const uint32_t pairSetCount = reader_.u16(table + 8);
            if (!spend(uint64_t(largest) + 1)) return false;
            // Offset and pair count are read before the index is compared with pairSetCount.
            for (int64_t index = 0; index <= largest && !reader_.failed(); ++index) {
                const uint64_t pairSet = table + reader_.u16(table + 10 + 2 * uint64_t(index));
                const uint32_t pairCount = reader_.u16(pairSet);
                if (index < int64_t(pairSetCount) && pairCount)
                    reader_.u16(pairSet + 2 + 4 * uint64_t(pairCount - 1) + 2);
            }
        } else {
            checkClassDefinition(table + reader_.u16(table + 8));
            checkClassDefinition(table + reader_.u16(table + 10));
            const uint64_t cells = uint64_t(reader_.u16(table + 12)) * reader_.u16(table + 14);
            if (cells) reader_.u16(table + 16 + 2 * (cells - 1));
        }
        return !reader_.failed();
    }

    const FontLayout& font_;
    BoundedReader reader_;
    uint64_t work_ = 0;
};

bool checkGlyphPositioning(const FontLayout& font) {
    if (!font.gpos.present) return true;
    PositioningCheck check(font);
    return check.run();
}

// ---------------------------------------------------------------------------------------------
// Character map

bool isUsableEncoding(uint32_t platform, uint32_t encoding) {
    if (platform == 3) return encoding == 1 || encoding == 10;  // Microsoft: Unicode BMP, full
    return platform == 0;                                       // Unicode: every encoding
}

// stb_truetype keeps the last usable encoding record, not the first.
bool selectCharacterMap(FontLayout& font) {
    BoundedReader reader(font.data, font.cmap.offset, font.cmap.end());
    const uint64_t base = font.cmap.offset;
    const uint32_t recordCount = reader.u16(base + 2);
    uint64_t chosen = 0;
    bool found = false;
    for (uint32_t i = 0; i < recordCount; ++i) {
        const uint64_t record = base + 4 + uint64_t(i) * 8;
        if (isUsableEncoding(reader.u16(record), reader.u16(record + 2))) {
            chosen = reader.u32(record + 4);
            found = true;
        }
    }
    if (reader.failed() || !found || chosen >= font.cmap.length) return false;
    font.characterMap = base + chosen;
    return true;
}

// The subtable's own arrays must lie inside cmap; lookups are then replayed read by read.
bool checkCharacterMapArrays(const FontLayout& font) {
    BoundedReader reader(font.data, font.cmap.offset, font.cmap.end());
    const uint64_t map = font.characterMap;
    const uint64_t room = font.cmap.end() - map;
    const uint32_t format = reader.u16(map);
    uint64_t needed = 0;
    switch (format) {
    case 0: needed = 6; break;
    case 4: needed = 16 + uint64_t(reader.u16(map + 6) >> 1) * 8; break;
    case 6: needed = 10 + uint64_t(reader.u16(map + 8)) * 2; break;
    case 12:
    case 13: needed = 16 + uint64_t(reader.u32(map + 12)) * 12; break;
    default: return false;  // format 2 and unknown formats hit an assert in stb_truetype
    }
    return !reader.failed() && needed <= room;
}

// Replays stbtt_FindGlyphIndex for one code point, including its use of the searchRange,
// entrySelector and rangeShift fields it finds in the data.
bool findGlyphIndex(const FontLayout& font, int32_t codepoint, int64_t& glyph) {
    BoundedReader reader(font.data, font.cmap.offset, font.cmap.end());
    const uint64_t map = font.characterMap;
    const uint32_t format = reader.u16(map);
    glyph = 0;
    if (format == 0) {
        const int32_t bytes = int32_t(reader.u16(map + 2));
        if (codepoint < bytes - 6) glyph = reader.u8(map + 6 + uint64_t(codepoint));
    } else if (format == 6) {
        const uint32_t first = reader.u16(map + 6);
        const uint32_t count = reader.u16(map + 8);
        const uint32_t point = uint32_t(codepoint);
        if (point >= first && point < first + count) glyph = reader.u16(map + 10 + uint64_t(point - first) * 2);
    } else if (format == 4) {
        const uint32_t segmentCount = reader.u16(map + 6) >> 1;
        uint32_t searchRange = reader.u16(map + 8) >> 1;
        uint32_t entrySelector = reader.u16(map + 10);
        const uint32_t rangeShift = reader.u16(map + 12) >> 1;
        const uint64_t endCounts = map + 14;
        uint64_t search = endCounts;
        if (codepoint >= int32_t(reader.u16(search + rangeShift * 2))) search += rangeShift * 2;
        search -= 2;
        while (entrySelector) {
            searchRange >>= 1;
            const int32_t end = int32_t(reader.u16(search + searchRange * 2));
            if (codepoint > end) search += searchRange * 2;
            --entrySelector;
            if (reader.failed()) return false;
        }
        search += 2;
        const uint64_t item = uint16_t((search - endCounts) >> 1);
        const int32_t start = int32_t(reader.u16(map + 14 + segmentCount * 2 + 2 + 2 * item));
        const int32_t last = int32_t(reader.u16(endCounts + 2 * item));
        if (codepoint >= start && codepoint <= last) {
            const uint64_t rangeOffsetAt = map + 14 + uint64_t(segmentCount) * 6 + 2 + 2 * item;
            const uint32_t rangeOffset = reader.u16(rangeOffsetAt);
            if (rangeOffset == 0) {
                const int32_t delta = reader.s16(map + 14 + uint64_t(segmentCount) * 4 + 2 + 2 * item);
                glyph = uint16_t(codepoint + delta);
            } else {
                glyph = reader.u16(rangeOffset + uint64_t(codepoint - start) * 2 + rangeOffsetAt);
            }
        }
    } else if (format == 12 || format == 13) {
        const uint32_t groupCount = reader.u32(map + 12);
        int64_t low = 0;
        int64_t high = int32_t(groupCount);
        while (low < high) {
            const int64_t middle = low + ((high - low) >> 1);
            const uint64_t group = map + 16 + uint64_t(middle) * 12;
            const uint32_t startCharacter = reader.u32(group);
            const uint32_t endCharacter = reader.u32(group + 4);
            if (reader.failed()) return false;
            if (uint32_t(codepoint) < startCharacter) {
                high = middle;
            } else if (uint32_t(codepoint) > endCharacter) {
                low = middle + 1;
            } else {
                const uint32_t startGlyph = reader.u32(group + 8);
                // stb_truetype returns this 32-bit value as an int, so it may turn negative.
                glyph = format == 12 ? int32_t(startGlyph + uint32_t(codepoint) - startCharacter)
                                     : int32_t(startGlyph);
                break;
            }
        }
    } else {
        return false;
    }
    return !reader.failed();
}

// ---------------------------------------------------------------------------------------------
// Outline cost: replays stb_truetype's curve flattening to count the points it will produce.

class OutlineMeter {
public:
    OutlineMeter() {
        for (int size = 0; size < BakeSizeCount; ++size) flatnessSquared_[size] = 0.0f;
    }

    void setScales(const float (&scales)[BakeSizeCount]) {
        for (int size = 0; size < BakeSizeCount; ++size) {
            const float flatness = FlatnessInPixels / scales[size];
            flatnessSquared_[size] = flatness * flatness;
        }
    }

    void startGlyph() {
        vertices_ = 0;
        for (uint64_t& count : points_) count = 0;
        lastX_ = lastY_ = 0.0f;
    }

    void add(VertexType type, int16_t x, int16_t y, int16_t cx, int16_t cy, int16_t cx1, int16_t cy1) {
        ++vertices_;
        if (overBudget()) return;
        for (int size = 0; size < BakeSizeCount; ++size) {
            uint64_t& count = points_[size];
            switch (type) {
            case VertexType::Move:
            case VertexType::Line: ++count; break;
            case VertexType::Curve:
                countQuadratic(count, flatnessSquared_[size], lastX_, lastY_, cx, cy, x, y, 0);
                break;
            case VertexType::Cubic:
                countCubic(count, flatnessSquared_[size], lastX_, lastY_, cx, cy, cx1, cy1, x, y, 0);
                break;
            }
        }
        lastX_ = x;
        lastY_ = y;
    }

    bool overBudget() const {
        if (vertices_ > MaxVerticesPerGlyph) return true;
        for (uint64_t count : points_)
            if (count > MaxFlattenedPointsPerGlyph) return true;
        return false;
    }

    uint64_t points(int size) const { return points_[size]; }

private:
    // Same arithmetic as stbtt__tesselate_curve; stops early once over budget.
    static void countQuadratic(uint64_t& count, float limit, float x0, float y0, float x1, float y1,
                               float x2, float y2, int depth) {
        const float middleX = (x0 + 2 * x1 + x2) / 4;
        const float middleY = (y0 + 2 * y1 + y2) / 4;
        const float dx = (x0 + x2) / 2 - middleX;
        const float dy = (y0 + y2) / 2 - middleY;
        if (depth > 16 || count > MaxFlattenedPointsPerGlyph) return;
        if (dx * dx + dy * dy > limit) {
            countQuadratic(count, limit, x0, y0, (x0 + x1) / 2.0f, (y0 + y1) / 2.0f, middleX, middleY, depth + 1);
            countQuadratic(count, limit, middleX, middleY, (x1 + x2) / 2.0f, (y1 + y2) / 2.0f, x2, y2, depth + 1);
        } else {
            ++count;
        }
    }

    // Same arithmetic as stbtt__tesselate_cubic.
    static void countCubic(uint64_t& count, float limit, float x0, float y0, float x1, float y1, float x2,
                           float y2, float x3, float y3, int depth) {
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
            countCubic(count, limit, x0, y0, x01, y01, xa, ya, middleX, middleY, depth + 1);
            countCubic(count, limit, middleX, middleY, xb, yb, x23, y23, x3, y3, depth + 1);
        } else {
            ++count;
        }
    }

    float flatnessSquared_[BakeSizeCount];
    uint64_t vertices_ = 0;
    uint64_t points_[BakeSizeCount] = {};
    float lastX_ = 0.0f;
    float lastY_ = 0.0f;
};

// Font-unit box as stbtt_GetGlyphBox reports it; all zero when it reports no box.
struct GlyphBox {
    int32_t x0 = 0, y0 = 0, x1 = 0, y1 = 0;
};

// ---------------------------------------------------------------------------------------------
// TrueType outlines (glyf and loca)

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
    BoundedReader reader(font.data, font.loca.offset, font.loca.end());
    uint64_t first, next;
    if (font.indexToLocFormat == 0) {
        first = uint64_t(reader.u16(font.loca.offset + uint64_t(glyph) * 2)) * 2;
        next = uint64_t(reader.u16(font.loca.offset + uint64_t(glyph) * 2 + 2)) * 2;
    } else {
        first = reader.u32(font.loca.offset + uint64_t(glyph) * 4);
        next = reader.u32(font.loca.offset + uint64_t(glyph) * 4 + 4);
    }
    if (reader.failed()) return false;
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

// Walks one top-level glyph and all its components the way stbtt__GetGlyphShapeTT does, feeding
// every vertex (after the component transforms stb_truetype would apply) to the meter.
class TrueTypeWalk {
public:
    // `limits` is the glyph's own box widened by a little slack. Points outside it would send
    // stb_truetype's rasterizer down its slow clipping path, whose cost grows with the atlas width.
    TrueTypeWalk(const FontLayout& font, OutlineMeter& meter, const GlyphBox& limits)
        : font_(font), meter_(meter), limits_(limits) {}

    bool walkGlyph(int64_t glyph, int depth) {
        GlyphSpan span;
        if (!locateGlyph(font_, glyph, span)) return false;
        if (span.empty) return true;
        BoundedReader reader(font_.data, span.begin, span.end);
        const int32_t contourCount = reader.s16(span.begin);
        if (contourCount > 0) return walkSimpleGlyph(span, contourCount);
        if (contourCount < 0) return walkCompositeGlyph(span, depth);
        return true;
    }

private:
    struct Point {
        uint32_t flags = 0;
        int16_t x = 0;
        int16_t y = 0;
    };

    // Decodes points in order from the flag, x and y streams once their extents are known.
    class PointDecoder {
    public:
        PointDecoder(const unsigned char* data, uint64_t flagsAt, uint64_t xAt, uint64_t yAt)
            : data_(data), flagsAt_(flagsAt), xAt_(xAt), yAt_(yAt) {}

        Point next() {
            if (hasPending_) {
                hasPending_ = false;
                return pending_;
            }
            return decode();
        }

        Point peek() {
            if (!hasPending_) {
                pending_ = decode();
                hasPending_ = true;
            }
            return pending_;
        }

    private:
        Point decode() {
            if (repeat_ == 0) {
                flags_ = data_[flagsAt_++];
                if (flags_ & 8) repeat_ = data_[flagsAt_++];
            } else {
                --repeat_;
            }
            if (flags_ & 2) {
                const int32_t delta = data_[xAt_++];
                x_ += (flags_ & 16) ? delta : -delta;
            } else if (!(flags_ & 16)) {
                x_ += int16_t((data_[xAt_] << 8) | data_[xAt_ + 1]);
                xAt_ += 2;
            }
            if (flags_ & 4) {
                const int32_t delta = data_[yAt_++];
                y_ += (flags_ & 32) ? delta : -delta;
            } else if (!(flags_ & 32)) {
                y_ += int16_t((data_[yAt_] << 8) | data_[yAt_ + 1]);
                yAt_ += 2;
            }
            return Point{flags_, int16_t(x_), int16_t(y_)};
        }

        const unsigned char* data_;
        uint64_t flagsAt_, xAt_, yAt_;
        uint32_t flags_ = 0;
        uint8_t repeat_ = 0;
        int32_t x_ = 0;
        int32_t y_ = 0;
        Point pending_;
        bool hasPending_ = false;
    };

    bool emit(VertexType type, int32_t x, int32_t y, int32_t cx, int32_t cy) {
        // stb_truetype stores vertices as 16-bit values, then transforms them component by component.
        int16_t vertexX = int16_t(x), vertexY = int16_t(y), controlX = int16_t(cx), controlY = int16_t(cy);
        for (int level = transformCount_ - 1; level >= 0; --level) {
            if (!transformCoordinate(transforms_[level], vertexX, vertexY)) return false;
            if (!transformCoordinate(transforms_[level], controlX, controlY)) return false;
        }
        if (!inside(vertexX, vertexY) || (type == VertexType::Curve && !inside(controlX, controlY))) return false;
        meter_.add(type, vertexX, vertexY, controlX, controlY, 0, 0);
        return !meter_.overBudget();
    }

    bool inside(int32_t x, int32_t y) const {
        return x >= limits_.x0 && x <= limits_.x1 && y >= limits_.y0 && y <= limits_.y1;
    }

    struct ContourState {
        int32_t startX = 0, startY = 0, controlX = 0, controlY = 0, startControlX = 0, startControlY = 0;
        bool wasOff = false;
        bool startOff = false;
    };

    // stbtt__close_shape.
    bool closeShape(const ContourState& state) {
        if (state.startOff) {
            if (state.wasOff &&
                !emit(VertexType::Curve, (state.controlX + state.startControlX) >> 1,
                      (state.controlY + state.startControlY) >> 1, state.controlX, state.controlY))
                return false;
            return emit(VertexType::Curve, state.startX, state.startY, state.startControlX, state.startControlY);
        }
        if (state.wasOff)
            return emit(VertexType::Curve, state.startX, state.startY, state.controlX, state.controlY);
        return emit(VertexType::Line, state.startX, state.startY, 0, 0);
    }

    bool walkSimpleGlyph(const GlyphSpan& span, int32_t contourCount) {
        BoundedReader reader(font_.data, span.begin, span.end);
        const uint64_t endPoints = span.begin + 10;
        const uint64_t instructionLength = reader.u16(endPoints + uint64_t(contourCount) * 2);
        const uint64_t flagsAt = endPoints + uint64_t(contourCount) * 2 + 2 + instructionLength;
        // Like stb_truetype, the point count comes from the last contour end alone.
        const int32_t pointCount = 1 + int32_t(reader.u16(endPoints + uint64_t(contourCount) * 2 - 2));
        if (reader.failed() || flagsAt > span.end) return false;

        // Flag pass as stb_truetype runs it, sizing the x and y streams on the way.
        uint64_t at = flagsAt;
        uint32_t flags = 0;
        uint32_t repeat = 0;
        uint64_t xBytes = 0, yBytes = 0;
        for (int32_t i = 0; i < pointCount; ++i) {
            if (repeat == 0) {
                flags = reader.u8(at++);
                if (flags & 8) repeat = reader.u8(at++);
            } else {
                --repeat;
            }
            xBytes += (flags & 2) ? 1 : (flags & 16) ? 0 : 2;
            yBytes += (flags & 4) ? 1 : (flags & 32) ? 0 : 2;
        }
        if (reader.failed() || at + xBytes + yBytes > span.end) return false;

        // Contour conversion, step for step with stbtt__GetGlyphShapeTT.
        PointDecoder points(font_.data, flagsAt, at, at + xBytes);
        ContourState state;
        int32_t nextMove = 0;
        int32_t contour = 0;
        for (int32_t i = 0; i < pointCount; ++i) {
            const Point point = points.next();
            const int32_t x = point.x, y = point.y;
            if (nextMove == i) {
                if (i != 0 && !closeShape(state)) return false;
                state.startOff = !(point.flags & 1);
                if (state.startOff) {
                    // stb_truetype looks at the following point; past the last one it would read
                    // beyond its own vertex array.
                    if (i + 1 >= pointCount) return false;
                    state.startControlX = x;
                    state.startControlY = y;
                    const Point following = points.peek();
                    if (!(following.flags & 1)) {
                        state.startX = (x + int32_t(following.x)) >> 1;
                        state.startY = (y + int32_t(following.y)) >> 1;
                    } else {
                        state.startX = following.x;
                        state.startY = following.y;
                        points.next();
                        ++i;
                    }
                } else {
                    state.startX = x;
                    state.startY = y;
                }
                if (!emit(VertexType::Move, state.startX, state.startY, 0, 0)) return false;
                state.wasOff = false;
                nextMove = 1 + int32_t(reader.u16(endPoints + uint64_t(contour) * 2));
                ++contour;
                if (reader.failed()) return false;
            } else if (!(point.flags & 1)) {
                if (state.wasOff &&
                    !emit(VertexType::Curve, (state.controlX + x) >> 1, (state.controlY + y) >> 1,
                          state.controlX, state.controlY))
                    return false;
                state.controlX = x;
                state.controlY = y;
                state.wasOff = true;
            } else {
                const bool drawn = state.wasOff ? emit(VertexType::Curve, x, y, state.controlX, state.controlY)
                                                : emit(VertexType::Line, x, y, 0, 0);
                if (!drawn) return false;
                state.wasOff = false;
            }
        }
        return closeShape(state);
    }

    bool walkCompositeGlyph(const GlyphSpan& span, int depth) {
        BoundedReader reader(font_.data, span.begin, span.end);
        uint64_t at = span.begin + 10;
        bool more = true;
        while (more) {
            const uint32_t flags = reader.u16(at);
            const uint32_t component = reader.u16(at + 2);
            at += 4;
            ComponentTransform transform;
            float* matrix = transform.matrix;
            // Without offsets stb_truetype asserts and then misreads the rest of the record.
            if (!(flags & 2)) return false;
            if (flags & 1) {
                matrix[4] = float(reader.s16(at));
                matrix[5] = float(reader.s16(at + 2));
                at += 4;
            } else {
                matrix[4] = float(reader.s8(at));
                matrix[5] = float(reader.s8(at + 1));
                at += 2;
            }
            if (flags & (1 << 3)) {
                matrix[0] = matrix[3] = reader.s16(at) / 16384.0f;
                matrix[1] = matrix[2] = 0;
                at += 2;
            } else if (flags & (1 << 6)) {
                matrix[0] = reader.s16(at) / 16384.0f;
                matrix[1] = matrix[2] = 0;
                matrix[3] = reader.s16(at + 2) / 16384.0f;
                at += 4;
            } else if (flags & (1 << 7)) {
                matrix[0] = reader.s16(at) / 16384.0f;
                matrix[1] = reader.s16(at + 2) / 16384.0f;
                matrix[2] = reader.s16(at + 4) / 16384.0f;
                matrix[3] = reader.s16(at + 6) / 16384.0f;
                at += 8;
            }
            if (reader.failed()) return false;
            transform.scaleX = float(std::sqrt(matrix[0] * matrix[0] + matrix[1] * matrix[1]));
            transform.scaleY = float(std::sqrt(matrix[2] * matrix[2] + matrix[3] * matrix[3]));

            // stb_truetype recurses without limit, so cycles and deep or wide trees are refused.
            if (depth + 1 > MaxCompositeDepth || ++componentVisits_ > MaxComponentsPerGlyph) return false;
            transforms_[transformCount_++] = transform;
            const bool drawn = walkGlyph(component, depth + 1);
            --transformCount_;
            if (!drawn) return false;
            more = (flags & (1 << 5)) != 0;
        }
        return true;
    }

    const FontLayout& font_;
    OutlineMeter& meter_;
    GlyphBox limits_;
    ComponentTransform transforms_[MaxCompositeDepth];
    int transformCount_ = 0;
    int componentVisits_ = 0;
};

bool checkTrueTypeGlyph(const FontLayout& font, int64_t glyph, OutlineMeter& meter, GlyphBox& box) {
    box = GlyphBox{};
    GlyphSpan span;
    if (!locateGlyph(font, glyph, span)) return false;
    if (span.empty) return true;
    BoundedReader reader(font.data, span.begin, span.end);
    box.x0 = reader.s16(span.begin + 2);
    box.y0 = reader.s16(span.begin + 4);
    box.x1 = reader.s16(span.begin + 6);
    box.y1 = reader.s16(span.begin + 8);
    const int32_t slack = std::max(MinOutlineBoxSlack, font.fontHeight / OutlineBoxSlackDivisor);
    const GlyphBox limits{box.x0 - slack, box.y0 - slack, box.x1 + slack, box.y1 + slack};
    TrueTypeWalk walk(font, meter, limits);
    return !reader.failed() && walk.walkGlyph(glyph, 0);
}

// ---------------------------------------------------------------------------------------------
// CFF outlines

// The same cursor rules as stb_truetype's stbtt__buf: reads past the end give 0 without moving,
// and a seek outside the buffer is what its assert catches, recorded here as a fault.
struct CffCursor {
    const unsigned char* data = nullptr;
    int32_t size = 0;
    int32_t cursor = 0;
    bool fault = false;

    uint32_t get8() { return cursor >= size ? 0 : data[cursor++]; }
    uint32_t peek8() const { return cursor >= size ? 0 : data[cursor]; }
    void seek(int64_t offset) {
        if (offset > size || offset < 0) {
            fault = true;
            cursor = size;
        } else {
            cursor = int32_t(offset);
        }
    }
    void skip(int64_t count) { seek(int64_t(cursor) + count); }
    uint32_t get(int count) {
        uint32_t value = 0;
        for (int i = 0; i < count; ++i) value = (value << 8) | get8();
        return value;
    }
};

CffCursor cursorOver(const FontLayout& font, uint64_t begin, uint64_t end) {
    CffCursor cursor;
    cursor.data = font.data + begin;
    cursor.size = int32_t(end - begin);
    return cursor;
}

// Reads and checks an INDEX at a file offset: offset size 1..4, offsets starting at 1 and never
// falling, and everything inside the CFF table (stb_truetype itself bounds CFF reads only by a
// fixed 512 MiB, not by the table).
bool readCffIndex(const FontLayout& font, uint64_t at, CffIndex& index) {
    BoundedReader reader(font.data, font.cff.offset, font.cff.end());
    index = CffIndex{};
    index.start = at;
    index.count = reader.u16(at);
    if (reader.failed()) return false;
    if (index.count == 0) {
        index.dataBase = index.end = at + 2;
        return true;
    }
    index.offsetSize = reader.u8(at + 2);
    if (reader.failed() || index.offsetSize < 1 || index.offsetSize > 4) return false;
    const uint64_t offsets = at + 3;
    if (offsets + uint64_t(index.offsetSize) * (uint64_t(index.count) + 1) > font.cff.end()) return false;
    uint64_t previous = 0;
    for (uint32_t i = 0; i <= index.count; ++i) {
        uint64_t value = 0;
        for (uint32_t byte = 0; byte < index.offsetSize; ++byte)
            value = (value << 8) | reader.u8(offsets + uint64_t(i) * index.offsetSize + byte);
        if ((i == 0 && value != 1) || value < previous) return false;
        previous = value;
    }
    index.dataBase = at + 2 + uint64_t(index.offsetSize) * (uint64_t(index.count) + 1);
    index.end = index.dataBase + previous;
    return !reader.failed() && index.end <= font.cff.end();
}

// Element `element` of a checked INDEX; false for an element the INDEX does not have.
bool cffIndexElement(const FontLayout& font, const CffIndex& index, int64_t element, uint64_t& begin, uint64_t& end) {
    if (element < 0 || element >= int64_t(index.count)) return false;
    BoundedReader reader(font.data, font.cff.offset, font.cff.end());
    const uint64_t offsets = index.start + 3;
    uint64_t values[2] = {0, 0};
    for (int which = 0; which < 2; ++which)
        for (uint32_t byte = 0; byte < index.offsetSize; ++byte)
            values[which] = (values[which] << 8) |
                            reader.u8(offsets + (uint64_t(element) + which) * index.offsetSize + byte);
    begin = index.dataBase + values[0];
    end = index.dataBase + values[1];
    return !reader.failed();
}

// stbtt__cff_int: integer operands only. Lead bytes 30 (real), 31 and 255 reach its assert.
bool readCffInteger(CffCursor& cursor, uint32_t& value) {
    const uint32_t lead = cursor.get8();
    if (lead >= 32 && lead <= 246) {
        value = lead - 139;
    } else if (lead >= 247 && lead <= 250) {
        value = (lead - 247) * 256 + cursor.get8() + 108;
    } else if (lead >= 251 && lead <= 254) {
        value = uint32_t(-int32_t(lead - 251) * 256 - int32_t(cursor.get8()) - 108);
    } else if (lead == 28) {
        value = cursor.get(2);
    } else if (lead == 29) {
        value = cursor.get(4);
    } else {
        return false;
    }
    return true;
}

// stbtt__cff_skip_operand.
bool skipCffOperand(CffCursor& cursor) {
    if (cursor.peek8() == 30) {
        cursor.skip(1);
        while (cursor.cursor < cursor.size) {
            const uint32_t value = cursor.get8();
            if ((value & 0xF) == 0xF || (value >> 4) == 0xF) break;
        }
        return true;
    }
    uint32_t ignored = 0;
    return readCffInteger(cursor, ignored);
}

// Walks a whole DICT as stbtt__dict_get does, refusing operands that would trip its asserts.
bool checkCffDict(CffCursor dict) {
    dict.seek(0);
    while (dict.cursor < dict.size) {
        while (dict.peek8() >= 28)
            if (!skipCffOperand(dict)) return false;
        if (dict.get8() == 12) dict.get8();
    }
    return !dict.fault;
}

// stbtt__dict_get_ints: up to `count` integer operands of the first entry with `key`; values the
// entry does not supply keep what the caller put in.
bool readCffDictIntegers(CffCursor dict, uint32_t key, int count, uint32_t* values) {
    dict.seek(0);
    while (dict.cursor < dict.size) {
        const int32_t start = dict.cursor;
        while (dict.peek8() >= 28)
            if (!skipCffOperand(dict)) return false;
        const int32_t end = dict.cursor;
        uint32_t op = dict.get8();
        if (op == 12) op = dict.get8() | 0x100;
        if (op == key) {
            CffCursor operands;
            operands.data = dict.data + start;
            operands.size = end - start;
            for (int i = 0; i < count && operands.cursor < operands.size; ++i)
                if (!readCffInteger(operands, values[i])) return false;
            return true;
        }
    }
    return !dict.fault;
}

// Follows stbtt_InitFont's CFF branch: header, Name, Top DICT, String and Global Subrs INDEXes,
// the Top DICT entries it uses, the Private DICT and its Subrs INDEX, and the CharStrings INDEX.
bool readCffOutlines(FontLayout& font) {
    const uint64_t base = font.cff.offset;
    BoundedReader reader(font.data, base, font.cff.end());
    const uint64_t headerSize = reader.u8(base + 2);
    if (reader.failed()) return false;

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

    // Private DICT: [size, offset]; stb_truetype ignores it when either is zero.
    if (privateDict[0] != 0 && privateDict[1] != 0) {
        const uint64_t privateSize = privateDict[0], privateOffset = privateDict[1];
        if (privateOffset + privateSize > font.cff.length) return false;
        const CffCursor privateCursor = cursorOver(font, base + privateOffset, base + privateOffset + privateSize);
        if (!checkCffDict(privateCursor)) return false;
        uint32_t subroutines = 0;
        if (!readCffDictIntegers(privateCursor, 19, 1, &subroutines)) return false;
        if (subroutines != 0) {
            const uint64_t at = privateOffset + subroutines;
            if (at > font.cff.length || !readCffIndex(font, base + at, cff.localSubroutines)) return false;
        }
    }
    if (charStrings > font.cff.length) return false;
    return readCffIndex(font, base + charStrings, cff.charStrings);
}

// The drawing context of stb_truetype's Type 2 interpreter (stbtt__csctx), with every float it
// turns into an int checked to lie in the 16-bit range first.
class Type2Pen {
public:
    explicit Type2Pen(OutlineMeter& meter) : meter_(meter) {}

    void moveBy(float dx, float dy) {
        closeShape();
        firstX_ = x_ = x_ + dx;
        firstY_ = y_ = y_ + dy;
        vertex(VertexType::Move, x_, y_, 0, 0, 0, 0);
    }
    void lineBy(float dx, float dy) {
        x_ += dx;
        y_ += dy;
        vertex(VertexType::Line, x_, y_, 0, 0, 0, 0);
    }
    void curveBy(float dx1, float dy1, float dx2, float dy2, float dx3, float dy3) {
        const float cx1 = x_ + dx1, cy1 = y_ + dy1;
        const float cx2 = cx1 + dx2, cy2 = cy1 + dy2;
        x_ = cx2 + dx3;
        y_ = cy2 + dy3;
        vertex(VertexType::Cubic, x_, y_, cx1, cy1, cx2, cy2);
    }
    void closeShape() {
        if (firstX_ != x_ || firstY_ != y_) vertex(VertexType::Line, firstX_, firstY_, 0, 0, 0, 0);
    }

    bool healthy() const { return inRange_ && !meter_.overBudget(); }
    GlyphBox box() const {
        GlyphBox box;
        if (started_) box = GlyphBox{minX_, minY_, maxX_, maxY_};
        return box;
    }

private:
    static bool fits(float value) { return value >= MinCoordinate && value <= MaxCoordinate; }

    void track(int32_t x, int32_t y) {
        if (x > maxX_ || !started_) maxX_ = x;
        if (y > maxY_ || !started_) maxY_ = y;
        if (x < minX_ || !started_) minX_ = x;
        if (y < minY_ || !started_) minY_ = y;
        started_ = true;
    }

    void vertex(VertexType type, float x, float y, float cx, float cy, float cx1, float cy1) {
        if (!fits(x) || !fits(y) || !fits(cx) || !fits(cy) || !fits(cx1) || !fits(cy1)) {
            inRange_ = false;
            return;
        }
        const int32_t ix = int32_t(x), iy = int32_t(y), icx = int32_t(cx), icy = int32_t(cy);
        const int32_t icx1 = int32_t(cx1), icy1 = int32_t(cy1);
        track(ix, iy);
        if (type == VertexType::Cubic) {
            track(icx, icy);
            track(icx1, icy1);
        }
        meter_.add(type, int16_t(ix), int16_t(iy), int16_t(icx), int16_t(icy), int16_t(icx1), int16_t(icy1));
    }

    OutlineMeter& meter_;
    bool started_ = false;
    bool inRange_ = true;
    float firstX_ = 0, firstY_ = 0, x_ = 0, y_ = 0;
    int32_t minX_ = 0, maxX_ = 0, minY_ = 0, maxY_ = 0;
};

// What running a charstring means to stb_truetype: it draws, or gives up on the glyph (which is
// safe and leaves it blank), or - for the font check - would do something unsafe.
enum class CharstringResult { Refused, Blank, Drawn };

class CharstringRun {
public:
    CharstringRun(const FontLayout& font, OutlineMeter& meter) : font_(font), pen_(meter) {}

    // Replays stbtt__run_charstring for one glyph.
    CharstringResult run(uint32_t glyph) {
        const CffLayout& cff = font_.cffLayout;
        uint64_t begin, end;
        if (!cffIndexElement(font_, cff.charStrings, glyph, begin, end)) return CharstringResult::Refused;
        CffCursor program = cursorOver(font_, begin, end);
        CffCursor callers[10];
        int callDepth = 0;
        int stackSize = 0;
        int maskBits = 0;
        bool inHeader = true;
        float stack[48];
        int steps = 0;

        while (program.cursor < program.size) {
            if (++steps > MaxCharstringSteps) return CharstringResult::Refused;
            int i = 0;
            bool clearStack = true;
            const uint32_t op = program.get8();
            switch (op) {
            case 0x13:  // hintmask
            case 0x14:  // cntrmask
                if (inHeader) maskBits += stackSize / 2;
                inHeader = false;
                program.skip((maskBits + 7) / 8);
                if (program.fault) return CharstringResult::Refused;
                break;
            case 0x01: case 0x03: case 0x12: case 0x17:  // hstem, vstem, hstemhm, vstemhm
                maskBits += stackSize / 2;
                break;
            case 0x15:  // rmoveto
                inHeader = false;
                if (stackSize < 2) return CharstringResult::Blank;
                pen_.moveBy(stack[stackSize - 2], stack[stackSize - 1]);
                break;
            case 0x04:  // vmoveto
                inHeader = false;
                if (stackSize < 1) return CharstringResult::Blank;
                pen_.moveBy(0, stack[stackSize - 1]);
                break;
            case 0x16:  // hmoveto
                inHeader = false;
                if (stackSize < 1) return CharstringResult::Blank;
                pen_.moveBy(stack[stackSize - 1], 0);
                break;
            case 0x05:  // rlineto
                if (stackSize < 2) return CharstringResult::Blank;
                for (; i + 1 < stackSize; i += 2) pen_.lineBy(stack[i], stack[i + 1]);
                break;
            case 0x06:  // hlineto
            case 0x07:  // vlineto
                if (stackSize < 1) return CharstringResult::Blank;
                for (bool horizontal = op == 0x06; i < stackSize; ++i, horizontal = !horizontal) {
                    if (horizontal) pen_.lineBy(stack[i], 0);
                    else pen_.lineBy(0, stack[i]);
                }
                break;
            case 0x1E:  // vhcurveto
            case 0x1F:  // hvcurveto
                if (stackSize < 4) return CharstringResult::Blank;
                for (bool vertical = op == 0x1E; i + 3 < stackSize; i += 4, vertical = !vertical) {
                    const float last = (stackSize - i == 5) ? stack[i + 4] : 0.0f;
                    if (vertical) pen_.curveBy(0, stack[i], stack[i + 1], stack[i + 2], stack[i + 3], last);
                    else pen_.curveBy(stack[i], 0, stack[i + 1], stack[i + 2], last, stack[i + 3]);
                }
                break;
            case 0x08:  // rrcurveto
                if (stackSize < 6) return CharstringResult::Blank;
                for (; i + 5 < stackSize; i += 6)
                    pen_.curveBy(stack[i], stack[i + 1], stack[i + 2], stack[i + 3], stack[i + 4], stack[i + 5]);
                break;
            case 0x18:  // rcurveline
                if (stackSize < 8) return CharstringResult::Blank;
                for (; i + 5 < stackSize - 2; i += 6)
                    pen_.curveBy(stack[i], stack[i + 1], stack[i + 2], stack[i + 3], stack[i + 4], stack[i + 5]);
                if (i + 1 >= stackSize) return CharstringResult::Blank;
                pen_.lineBy(stack[i], stack[i + 1]);
                break;
            case 0x19:  // rlinecurve
                if (stackSize < 8) return CharstringResult::Blank;
                for (; i + 1 < stackSize - 6; i += 2) pen_.lineBy(stack[i], stack[i + 1]);
                if (i + 5 >= stackSize) return CharstringResult::Blank;
                pen_.curveBy(stack[i], stack[i + 1], stack[i + 2], stack[i + 3], stack[i + 4], stack[i + 5]);
                break;
            case 0x1A:  // vvcurveto
            case 0x1B: {  // hhcurveto
                if (stackSize < 4) return CharstringResult::Blank;
                float first = 0.0f;
                if (stackSize & 1) first = stack[i++];
                for (; i + 3 < stackSize; i += 4) {
                    if (op == 0x1B) pen_.curveBy(stack[i], first, stack[i + 1], stack[i + 2], stack[i + 3], 0.0f);
                    else pen_.curveBy(first, stack[i], stack[i + 1], stack[i + 2], 0.0f, stack[i + 3]);
                    first = 0.0f;
                }
                break;
            }
            case 0x0A:  // callsubr
            case 0x1D: {  // callgsubr
                if (stackSize < 1) return CharstringResult::Blank;
                const int number = int(stack[--stackSize]);
                if (callDepth >= 10) return CharstringResult::Blank;
                callers[callDepth++] = program;
                if (!subroutine(op == 0x0A ? cff.localSubroutines : cff.globalSubroutines, number, program))
                    return CharstringResult::Blank;
                clearStack = false;
                break;
            }
            case 0x0B:  // return
                if (callDepth <= 0) return CharstringResult::Blank;
                program = callers[--callDepth];
                clearStack = false;
                break;
            case 0x0E:  // endchar
                pen_.closeShape();
                return pen_.healthy() ? CharstringResult::Drawn : CharstringResult::Refused;
            case 0x0C:
                if (!flex(program.get8(), stack, stackSize)) return CharstringResult::Blank;
                break;
            default: {
                if (op != 255 && op != 28 && op < 32) return CharstringResult::Blank;
                float value;
                if (op == 255) {
                    value = float(int32_t(program.get(4))) / 0x10000;
                } else {
                    program.skip(-1);
                    uint32_t integer = 0;
                    readCffInteger(program, integer);
                    value = float(int16_t(integer));
                }
                if (stackSize >= 48) return CharstringResult::Blank;
                stack[stackSize++] = value;
                clearStack = false;
                break;
            }
            }
            if (!pen_.healthy()) return CharstringResult::Refused;
            if (clearStack) stackSize = 0;
        }
        return CharstringResult::Blank;  // no endchar
    }

    GlyphBox box() const { return pen_.box(); }

private:
    // stbtt__get_subr: biased number, and an empty subroutine counts as missing.
    bool subroutine(const CffIndex& index, int number, CffCursor& program) const {
        const int count = int(index.count);
        const int bias = count >= 33900 ? 32768 : count >= 1240 ? 1131 : 107;
        number += bias;
        if (number < 0 || number >= count) return false;
        uint64_t begin, end;
        if (!cffIndexElement(font_, index, number, begin, end)) return false;
        if (begin == end) return false;
        program = cursorOver(font_, begin, end);
        return true;
    }

    // The two-byte flex operators; anything else stops stb_truetype's interpreter.
    bool flex(uint32_t op, const float* s, int stackSize) {
        switch (op) {
        case 0x22:  // hflex
            if (stackSize < 7) return false;
            pen_.curveBy(s[0], 0, s[1], s[2], s[3], 0);
            pen_.curveBy(s[4], 0, s[5], -s[2], s[6], 0);
            return true;
        case 0x23:  // flex
            if (stackSize < 13) return false;
            pen_.curveBy(s[0], s[1], s[2], s[3], s[4], s[5]);
            pen_.curveBy(s[6], s[7], s[8], s[9], s[10], s[11]);
            return true;
        case 0x24:  // hflex1
            if (stackSize < 9) return false;
            pen_.curveBy(s[0], s[1], s[2], s[3], s[4], 0);
            pen_.curveBy(s[5], 0, s[6], s[7], s[8], -(s[1] + s[3] + s[7]));
            return true;
        case 0x25: {  // flex1
            if (stackSize < 11) return false;
            const float dx = s[0] + s[2] + s[4] + s[6] + s[8];
            const float dy = s[1] + s[3] + s[5] + s[7] + s[9];
            float dx6 = s[10], dy6 = s[10];
            if (std::fabs(dx) > std::fabs(dy)) dy6 = -dy;
            else dx6 = -dx;
            pen_.curveBy(s[0], s[1], s[2], s[3], s[4], s[5]);
            pen_.curveBy(s[6], s[7], s[8], s[9], dx6, dy6);
            return true;
        }
        default: return false;
        }
    }

    const FontLayout& font_;
    Type2Pen pen_;
};

bool checkCffGlyph(const FontLayout& font, int64_t glyph, OutlineMeter& meter, GlyphBox& box) {
    box = GlyphBox{};
    // stb_truetype asserts on a glyph number outside the CharStrings INDEX.
    if (glyph < 0 || glyph >= int64_t(font.cffLayout.charStrings.count)) return false;
    CharstringRun run(font, meter);
    const CharstringResult result = run.run(uint32_t(glyph));
    if (result == CharstringResult::Refused) return false;
    if (result == CharstringResult::Drawn) box = run.box();
    else meter.startGlyph();  // a blank glyph has no vertices to rasterize
    return true;
}

// ---------------------------------------------------------------------------------------------
// Bake

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
    meter.setScales(scales);
    uint64_t fontPoints[BakeSizeCount] = {};

    for (int32_t codepoint = FirstCodepoint; codepoint < FirstCodepoint + CodepointCount; ++codepoint) {
        int64_t glyph = 0;
        if (!findGlyphIndex(font, codepoint, glyph)) return false;
        if (!checkHorizontalMetrics(font, glyph)) return false;
        meter.startGlyph();
        GlyphBox box;
        const bool drawable = font.cffOutlines ? checkCffGlyph(font, glyph, meter, box)
                                               : checkTrueTypeGlyph(font, glyph, meter, box);
        if (!drawable || meter.overBudget()) return false;
        for (int size = 0; size < BakeSizeCount; ++size) {
            if (!fitsAtlas(box, scales[size])) return false;
            fontPoints[size] += meter.points(size);
            if (fontPoints[size] > MaxFlattenedPointsPerFont) return false;
        }
    }
    return true;
}

}  // namespace

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
