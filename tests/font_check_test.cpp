// Tests for isFontDataSafe: the real UI font, damaged copies of it (truncated, bad directory, bad
// CFF structures, hostile charstrings) and small TrueType fonts built here with one fault each.
// Accepted fonts are baked like the client does, so an AddressSanitizer build catches unsafe reads.
#include "ui/font_check.h"

#include "ui/font_atlas.h"

#include <stb/stb_truetype.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#ifndef VZ_TEST_FONT_PATH
#error "VZ_TEST_FONT_PATH must name the OpenType (CFF) font the client ships"
#endif

namespace {

using Bytes = std::vector<uint8_t>;

Bytes readFontFile() {
    std::ifstream in(VZ_TEST_FONT_PATH, std::ios::binary);
    return Bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

// Each check gets its own exact-size heap copy, so reading one byte past it is an ASan error.
bool isSafe(const Bytes& font) {
    const Bytes copy(font);
    return isFontDataSafe(copy.data(), copy.size());
}

// The client's own bake (ui/font_bake.cpp) from an exact-size heap copy: true when both glyph sizes
// fit their regions. It runs isFontDataSafe first, so only accepted fonts reach stb_truetype.
bool bakeLikeClient(const Bytes& font) {
    const Bytes copy(font);
    Bytes pixels(size_t(FontAtlasSize) * FontAtlasSize);
    FontAtlas atlas;
    return bakeFontAtlas(copy.data(), copy.size(), pixels.data(), atlas);
}

uint32_t readU16(const Bytes& bytes, size_t at) { return (uint32_t(bytes.at(at)) << 8) | bytes.at(at + 1); }
uint32_t readU32(const Bytes& bytes, size_t at) { return (readU16(bytes, at) << 16) | readU16(bytes, at + 2); }
void writeU16(Bytes& bytes, size_t at, uint32_t value) {
    bytes.at(at) = uint8_t(value >> 8);
    bytes.at(at + 1) = uint8_t(value);
}
void writeU32(Bytes& bytes, size_t at, uint32_t value) {
    writeU16(bytes, at, value >> 16);
    writeU16(bytes, at + 2, value & 0xffff);
}

struct TableRecord {
    std::string tag;
    size_t recordAt = 0;
    uint32_t offset = 0;
    uint32_t length = 0;
};

std::vector<TableRecord> tableDirectory(const Bytes& font) {
    std::vector<TableRecord> records;
    const uint32_t count = readU16(font, 4);
    for (uint32_t i = 0; i < count; ++i) {
        const size_t at = 12 + size_t(i) * 16;
        records.push_back({std::string(font.begin() + at, font.begin() + at + 4), at, readU32(font, at + 8),
                           readU32(font, at + 12)});
    }
    return records;
}

TableRecord findTable(const Bytes& font, const std::string& tag) {
    for (const TableRecord& record : tableDirectory(font))
        if (record.tag == tag) return record;
    ADD_FAILURE() << "no table " << tag;
    return {};
}

// ---------------------------------------------------------------------------------------------
// Just enough CFF reading to find and rewrite charstrings and subroutines in the real font.

struct IndexView {
    size_t start = 0;
    uint32_t count = 0;
    uint32_t offsetSize = 0;
    size_t dataBase = 0;  // element i spans [dataBase + offset(i), dataBase + offset(i + 1))
    size_t end = 0;
};

uint32_t indexOffset(const Bytes& font, const IndexView& index, uint32_t i) {
    uint32_t value = 0;
    for (uint32_t byte = 0; byte < index.offsetSize; ++byte)
        value = (value << 8) | font.at(index.start + 3 + size_t(i) * index.offsetSize + byte);
    return value;
}

IndexView readIndex(const Bytes& font, size_t at) {
    IndexView index;
    index.start = at;
    index.count = readU16(font, at);
    if (index.count == 0) {
        index.dataBase = index.end = at + 2;
        return index;
    }
    index.offsetSize = font.at(at + 2);
    index.dataBase = at + 2 + size_t(index.offsetSize) * (index.count + 1);
    index.end = index.dataBase + indexOffset(font, index, index.count);
    return index;
}

// Reads the DICT operand at `at` into `value` (reals read as 0) and returns where the next item starts.
size_t readOperand(const Bytes& font, size_t at, int32_t& value) {
    const uint32_t lead = font.at(at);
    value = 0;
    if (lead >= 32 && lead <= 246) {
        value = int32_t(lead) - 139;
        return at + 1;
    }
    if (lead >= 247 && lead <= 250) {
        value = int32_t(lead - 247) * 256 + font.at(at + 1) + 108;
        return at + 2;
    }
    if (lead >= 251 && lead <= 254) {
        value = -int32_t(lead - 251) * 256 - font.at(at + 1) - 108;
        return at + 2;
    }
    if (lead == 28) {
        value = int16_t(readU16(font, at + 1));
        return at + 3;
    }
    if (lead == 29) {
        value = int32_t(readU32(font, at + 1));
        return at + 5;
    }
    // A real number: nibbles up to the one holding 0xF.
    for (++at; (font.at(at) & 0xF) != 0xF && (font.at(at) >> 4) != 0xF;) ++at;
    return at + 1;
}

// First operand of the first DICT entry with operator `key` (one-byte operators only).
uint32_t dictInteger(const Bytes& font, size_t begin, size_t end, uint32_t key) {
    std::vector<int32_t> operands;
    for (size_t at = begin; at < end;) {
        if (font.at(at) >= 28) {
            int32_t value = 0;
            at = readOperand(font, at, value);
            operands.push_back(value);
            continue;
        }
        const uint32_t op = font.at(at) == 12 ? 0x100 | font.at(at + 1) : font.at(at);
        at += op > 0xFF ? 2 : 1;
        if (op == key) return operands.empty() ? 0 : uint32_t(operands.front());
        operands.clear();
    }
    ADD_FAILURE() << "DICT has no operator " << key;
    return 0;
}

struct CffView {
    size_t base = 0;
    IndexView names, topDicts, strings, globalSubroutines, charStrings;
};

CffView readCff(const Bytes& font) {
    CffView cff;
    cff.base = findTable(font, "CFF ").offset;
    cff.names = readIndex(font, cff.base + font.at(cff.base + 2));
    cff.topDicts = readIndex(font, cff.names.end);
    cff.strings = readIndex(font, cff.topDicts.end);
    cff.globalSubroutines = readIndex(font, cff.strings.end);
    const size_t topBegin = cff.topDicts.dataBase + indexOffset(font, cff.topDicts, 0);
    const size_t topEnd = cff.topDicts.dataBase + indexOffset(font, cff.topDicts, 1);
    cff.charStrings = readIndex(font, cff.base + dictInteger(font, topBegin, topEnd, 17));
    return cff;
}

// Overwrites element i of an INDEX in place; `program` is padded at the front with hstem
// operators (a no-op with an empty stack) to the element's length.
bool rewriteElement(Bytes& font, const IndexView& index, uint32_t i, const Bytes& program) {
    const size_t begin = index.dataBase + indexOffset(font, index, i);
    const size_t end = index.dataBase + indexOffset(font, index, i + 1);
    if (end - begin < program.size()) return false;
    std::fill(font.begin() + begin, font.begin() + end, uint8_t(0x01));
    std::copy(program.begin(), program.end(), font.begin() + end - program.size());
    return true;
}

void rewriteAllCharstrings(Bytes& font, const CffView& cff, const Bytes& program) {
    for (uint32_t glyph = 0; glyph < cff.charStrings.count; ++glyph)
        rewriteElement(font, cff.charStrings, glyph, program);
}

// A Type 2 charstring from (operands, operator) steps, ended by endchar.
using Type2Step = std::pair<std::vector<int32_t>, Bytes>;
Bytes type2Program(const std::vector<Type2Step>& steps) {
    Bytes program;
    for (const auto& [operands, op] : steps) {
        for (int32_t value : operands) {
            if (value >= -107 && value <= 107) program.push_back(uint8_t(value + 139));
            else program.insert(program.end(), {28, uint8_t(uint32_t(value) >> 8), uint8_t(value)});
        }
        program.insert(program.end(), op.begin(), op.end());
    }
    program.push_back(0x0E);
    return program;
}

// A one-byte Type 2 number that names subroutine `element` of an INDEX with `count` entries.
uint8_t subroutineNumber(uint32_t element, uint32_t count) {
    const int bias = count >= 33900 ? 32768 : count >= 1240 ? 1131 : 107;
    return uint8_t(int(element) - bias + 139);
}

// ---------------------------------------------------------------------------------------------
// A small TrueType font built from parts, so each test can break exactly one thing.

struct ByteWriter {
    Bytes bytes;
    ByteWriter& u8(uint32_t value) { bytes.push_back(uint8_t(value)); return *this; }
    ByteWriter& u16(uint32_t value) { return u8(value >> 8).u8(value); }
    ByteWriter& s16(int32_t value) { return u16(uint32_t(value) & 0xffff); }
    ByteWriter& u32(uint32_t value) { return u16(value >> 16).u16(value & 0xffff); }
    ByteWriter& append(const Bytes& more) { bytes.insert(bytes.end(), more.begin(), more.end()); return *this; }
};

// A simple glyph: one contour per entry of `contours`, each point (x, y, on-curve).
struct OutlinePoint { int32_t x, y; bool onCurve; };
Bytes simpleGlyph(const std::vector<std::vector<OutlinePoint>>& contours, int32_t xMax = 500, int32_t yMax = 700) {
    ByteWriter glyph;
    glyph.s16(int32_t(contours.size())).s16(0).s16(0).s16(xMax).s16(yMax);
    int32_t end = -1;
    for (const auto& contour : contours) glyph.u16(uint32_t(end += int32_t(contour.size())));
    glyph.u16(0);  // no instructions
    for (const auto& contour : contours)
        for (const OutlinePoint& point : contour) glyph.u8(point.onCurve ? 1 : 0);  // 16-bit x and y deltas
    int32_t previous = 0;
    for (const auto& contour : contours)
        for (const OutlinePoint& point : contour) { glyph.s16(point.x - previous); previous = point.x; }
    previous = 0;
    for (const auto& contour : contours)
        for (const OutlinePoint& point : contour) { glyph.s16(point.y - previous); previous = point.y; }
    return glyph.bytes;
}

Bytes squareGlyph() { return simpleGlyph({{{0, 0, true}, {500, 0, true}, {500, 700, true}, {0, 700, true}}}); }

// A composite glyph with one component placed at (dx, dy), optionally scaled (2.14 fixed): by one
// scale, by x and y scales, or by a 2-by-2 matrix.
Bytes compositeGlyph(uint32_t component, int32_t dx, int32_t dy, const std::vector<uint32_t>& scales = {},
                     int32_t xMax = 600, int32_t yMax = 700) {
    constexpr uint32_t ScaleFlags[] = {0, 0x0008, 0x0040, 0, 0x0080};
    ByteWriter glyph;
    glyph.s16(-1).s16(0).s16(0).s16(xMax).s16(yMax);
    glyph.u16(0x0003 | ScaleFlags[scales.size()]).u16(component).s16(dx).s16(dy);  // xy words
    for (uint32_t scale : scales) glyph.u16(scale);
    return glyph.bytes;
}

// The composite glyph with a second, unscaled component after its first.
Bytes withSecondComponent(const Bytes& glyph, uint32_t component) {
    ByteWriter more{glyph};
    more.bytes.at(11) |= 0x20;  // the first component's "more components" flag
    return more.u16(0x0003).u16(component).s16(0).s16(0).bytes;
}

// cmap format 6: code points 32..126 map to `glyphs`, one entry each.
Bytes trimmedCharacterMap(const std::vector<uint32_t>& glyphs) {
    ByteWriter map;
    map.u16(6).u16(uint32_t(10 + 2 * glyphs.size())).u16(0).u16(32).u16(uint32_t(glyphs.size()));
    for (uint32_t glyph : glyphs) map.u16(glyph);
    return map.bytes;
}

// cmap format 4: one segment per code point, mapping it to its glyph, then the closing segment; the
// binary search fields are set as a well-made font sets them.
Bytes segmentMap(const std::vector<std::pair<uint32_t, uint32_t>>& characters) {
    const uint32_t segments = uint32_t(characters.size()) + 1;
    uint32_t power = 1, selector = 0;
    for (; power * 2 <= segments; power *= 2) ++selector;
    ByteWriter map;
    map.u16(4).u16(16 + 8 * segments).u16(0).u16(2 * segments).u16(2 * power).u16(selector).u16(2 * (segments - power));
    for (const auto& [codepoint, glyph] : characters) map.u16(codepoint);
    map.u16(0xFFFF).u16(0);
    for (const auto& [codepoint, glyph] : characters) map.u16(codepoint);
    map.u16(0xFFFF);
    for (const auto& [codepoint, glyph] : characters) map.u16(glyph - codepoint);  // idDelta
    map.u16(1);
    for (uint32_t i = 0; i < segments; ++i) map.u16(0);  // idRangeOffset
    return map.bytes;
}

struct TrueTypeParts {
    std::vector<Bytes> glyphs{Bytes{}, squareGlyph(), compositeGlyph(1, 100, 0)};
    Bytes characterMap = trimmedCharacterMap(std::vector<uint32_t>(95, 1));
    int32_t ascent = 800;
    int32_t descent = -200;
    int longMetrics = -1;  // -1: one per glyph
    int64_t glyphCountOverride = -1;
    size_t metricsBytesCut = 0;  // dropped from the end of hmtx
    std::vector<std::pair<std::string, Bytes>> extraTables;
};

Bytes buildTrueTypeFont(const TrueTypeParts& parts) {
    const uint32_t glyphCount = uint32_t(parts.glyphs.size());
    ByteWriter glyf, loca, hmtx;
    for (const Bytes& glyph : parts.glyphs) {
        loca.u32(uint32_t(glyf.bytes.size()));
        glyf.append(glyph);
        if (glyf.bytes.size() % 2) glyf.u8(0);
    }
    loca.u32(uint32_t(glyf.bytes.size()));
    const uint32_t longMetrics = parts.longMetrics < 0 ? glyphCount : uint32_t(parts.longMetrics);
    for (uint32_t i = 0; i < glyphCount; ++i) {
        if (i < longMetrics) hmtx.u16(600).s16(0);
        else hmtx.s16(0);
    }
    hmtx.bytes.resize(hmtx.bytes.size() - parts.metricsBytesCut);
    ByteWriter cmap;
    cmap.u16(0).u16(1).u16(3).u16(1).u32(12).append(parts.characterMap);
    ByteWriter head;
    head.u32(0x00010000).u32(0).u32(0).u32(0x5F0F3CF5).u16(0).u16(1000);
    while (head.bytes.size() < 50) head.u8(0);
    head.u16(1).u16(0);  // long loca offsets
    ByteWriter hhea;
    hhea.u32(0x00010000).s16(parts.ascent).s16(parts.descent);
    while (hhea.bytes.size() < 34) hhea.u8(0);
    hhea.u16(longMetrics);
    ByteWriter maxp;
    maxp.u32(0x00005000).u16(parts.glyphCountOverride < 0 ? glyphCount : uint32_t(parts.glyphCountOverride));

    std::vector<std::pair<std::string, Bytes>> tables = {
        {"cmap", cmap.bytes}, {"glyf", glyf.bytes}, {"head", head.bytes}, {"hhea", hhea.bytes},
        {"hmtx", hmtx.bytes}, {"loca", loca.bytes}, {"maxp", maxp.bytes}};
    tables.insert(tables.end(), parts.extraTables.begin(), parts.extraTables.end());
    ByteWriter font;
    font.u32(0x00010000).u16(uint32_t(tables.size())).u16(0).u16(0).u16(0);
    uint32_t offset = uint32_t(12 + 16 * tables.size());
    for (const auto& [tag, body] : tables) {
        font.u8(uint8_t(tag[0])).u8(uint8_t(tag[1])).u8(uint8_t(tag[2])).u8(uint8_t(tag[3]));
        font.u32(0).u32(offset).u32(uint32_t(body.size()));
        offset += uint32_t((body.size() + 3) & ~size_t(3));
    }
    for (const auto& [tag, body] : tables) {
        font.append(body);
        while (font.bytes.size() % 4) font.u8(0);
    }
    return font.bytes;
}

// GPOS with one pair adjustment lookup: glyph 1 followed by glyph 1 moves by `advance`.
Bytes pairPositioning(uint32_t pairSetOffset = 18, uint32_t pairCount = 1, int32_t advance = -50,
                      uint32_t pairSetCount = 1) {
    ByteWriter gpos;
    gpos.u16(1).u16(0).u16(0).u16(0).u16(10);          // version 1.0, lookup list at 10
    gpos.u16(1).u16(4);                                // one lookup, 4 bytes into the list
    gpos.u16(2).u16(0).u16(1).u16(8);                  // pair adjustment, one subtable 8 bytes in
    gpos.u16(1).u16(12).u16(4).u16(0).u16(pairSetCount).u16(pairSetOffset);  // x advance of the first glyph only
    gpos.u16(1).u16(1).u16(1);                         // coverage: glyph 1
    gpos.u16(pairCount).u16(1).s16(advance);           // pair set: (1, 1) -> advance
    return gpos.bytes;
}

// kern version 0 with one horizontal format 0 subtable holding `pairs` pairs (glyph 1, glyph 1).
Bytes kerningTable(uint32_t claimedPairs, uint32_t pairs, int32_t advance = -30) {
    ByteWriter kern;
    kern.u16(0).u16(1);
    kern.u16(0).u16(14 + 6 * pairs).u16(1).u16(claimedPairs).u16(0).u16(0).u16(0);
    for (uint32_t i = 0; i < pairs; ++i) kern.u16(1).u16(1).s16(advance);
    return kern.bytes;
}

int kerningBetweenLetters(const Bytes& font) {
    stbtt_fontinfo info;
    if (!stbtt_InitFont(&info, font.data(), 0)) return 0;
    return stbtt_GetCodepointKernAdvance(&info, 'A', 'V');
}

// ---------------------------------------------------------------------------------------------
// The real font

TEST(FontCheck, RealFontIsAcceptedAndBakesBothSizes) {
    const Bytes font = readFontFile();
    ASSERT_GT(font.size(), 1000u) << "could not read " << VZ_TEST_FONT_PATH;
    EXPECT_TRUE(isSafe(font));
    EXPECT_TRUE(bakeLikeClient(font));
}

TEST(FontCheck, TruncatedCopiesAreRefusedOrBakeSafely) {
    const Bytes font = readFontFile();
    ASSERT_FALSE(font.empty());
    std::vector<size_t> lengths;
    for (size_t length = 0; length < font.size(); length += 97) lengths.push_back(length);
    for (const TableRecord& table : tableDirectory(font))
        for (size_t edge : {size_t(table.offset), size_t(table.offset) + table.length})
            for (size_t length : {edge - 1, edge, edge + 1})
                if (length < font.size()) lengths.push_back(length);
    for (size_t length : lengths) {
        const Bytes truncated(font.begin(), font.begin() + std::ptrdiff_t(length));
        bool tableCut = length < 12;
        if (!tableCut)
            for (const TableRecord& table : tableDirectory(font))
                tableCut = tableCut || size_t(table.offset) + table.length > length;
        const bool accepted = isSafe(truncated);
        if (tableCut) {
            EXPECT_FALSE(accepted) << "length " << length;
        }
        if (accepted) bakeLikeClient(truncated);
    }
}

TEST(FontCheck, SingleByteCorruptionsAreRefusedOrBakeSafely) {
    const Bytes font = readFontFile();
    ASSERT_FALSE(font.empty());
    int refused = 0;
    for (size_t at = 0; at < font.size(); at += 257) {
        for (uint8_t value : {uint8_t(0xFF), uint8_t(font[at] ^ 0x80)}) {
            Bytes damaged(font);
            damaged[at] = value;
            if (isSafe(damaged)) bakeLikeClient(damaged);
            else ++refused;
        }
    }
    EXPECT_GT(refused, 0);
}

TEST(FontCheck, TableRecordPastTheEndIsRefused) {
    const Bytes font = readFontFile();
    ASSERT_TRUE(isSafe(font));
    for (const TableRecord& table : tableDirectory(font)) {
        Bytes damaged(font);
        writeU32(damaged, table.recordAt + 8, uint32_t(font.size() - table.length + 1));
        EXPECT_FALSE(isSafe(damaged)) << table.tag;
    }
}

TEST(FontCheck, TableLengthThatWrapsIsRefused) {
    const Bytes font = readFontFile();
    ASSERT_TRUE(isSafe(font));
    for (const char* tag : {"cmap", "hmtx", "CFF "}) {
        const TableRecord table = findTable(font, tag);
        Bytes damaged(font);
        // offset + length wraps to a small number in 32 bits.
        writeU32(damaged, table.recordAt + 12, uint32_t(0x100000000ull - table.offset + 16));
        EXPECT_FALSE(isSafe(damaged)) << tag;
    }
}

TEST(FontCheck, GposLookupListPastTheTableIsRefused) {
    Bytes font = readFontFile();
    ASSERT_TRUE(isSafe(font));
    const TableRecord gpos = findTable(font, "GPOS");
    writeU16(font, gpos.offset + 8, std::min<uint32_t>(gpos.length - 1, 0xFFFF));
    EXPECT_FALSE(isSafe(font));
}

TEST(FontCheck, TableDirectoryLongerThanFileIsRefused) {
    Bytes font = readFontFile();
    ASSERT_TRUE(isSafe(font));
    writeU16(font, 4, 0xFFFF);
    EXPECT_FALSE(isSafe(font));
}

TEST(FontCheck, CorruptCffIndexOffsetsAreRefused) {
    const Bytes font = readFontFile();
    ASSERT_TRUE(isSafe(font));
    const CffView cff = readCff(font);
    ASSERT_GT(cff.charStrings.count, 2u);
    const size_t cffEnd = findTable(font, "CFF ").offset + findTable(font, "CFF ").length;

    auto setOffset = [](Bytes& bytes, const IndexView& index, uint32_t i, uint32_t value) {
        for (uint32_t byte = 0; byte < index.offsetSize; ++byte)
            bytes.at(index.start + 3 + size_t(i) * index.offsetSize + byte) =
                uint8_t(value >> (8 * (index.offsetSize - 1 - byte)));
    };
    // Last CharStrings offset reaching past the CFF table.
    Bytes pastEnd(font);
    setOffset(pastEnd, cff.charStrings, cff.charStrings.count,
              uint32_t(cffEnd - cff.charStrings.dataBase + 1));
    EXPECT_FALSE(isSafe(pastEnd));
    // A CharStrings offset that falls back.
    Bytes falling(font);
    setOffset(falling, cff.charStrings, 2, indexOffset(font, cff.charStrings, 1) - 1);
    EXPECT_FALSE(isSafe(falling));
    // The Name INDEX claiming more data than the table has.
    Bytes longName(font);
    setOffset(longName, cff.names, cff.names.count, uint32_t((1u << (8 * cff.names.offsetSize)) - 1));
    EXPECT_FALSE(isSafe(longName));
    // An offset size stb_truetype does not handle.
    Bytes badSize(font);
    badSize.at(cff.topDicts.start + 2) = 5;
    EXPECT_FALSE(isSafe(badSize));
}

TEST(FontCheck, HintMaskRunningPastCharstringIsRefused) {
    Bytes font = readFontFile();
    const CffView cff = readCff(font);
    Bytes blank(font);
    rewriteAllCharstrings(blank, cff, {0x0E});  // endchar only: every glyph empty
    EXPECT_TRUE(isSafe(blank));
    // One stem hint, then a hintmask whose mask byte would lie past the end of the charstring.
    rewriteAllCharstrings(font, cff, {0x8B, 0x8B, 0x01, 0x13});
    EXPECT_FALSE(isSafe(font));
}

TEST(FontCheck, CharstringDrawingPastShortCoordinatesIsRefused) {
    const Bytes font = readFontFile();
    const CffView cff = readCff(font);
    const Bytes moveTo = {0x15}, lineTo = {0x05}, curveTo = {0x08}, curveLine = {0x18}, flex1 = {0x0C, 0x25};
    auto operands = [](std::vector<int32_t> values, size_t count) { values.resize(count, 0); return values; };
    // Cases stb_truetype gives up on leave the glyph blank, and are accepted whatever they would draw.
    struct Case { const char* what; std::vector<Type2Step> steps; bool accepted; };
    const Case cases[] = {
        {"line along the top", {{{0, 32767}, moveTo}, {{10, 0}, lineTo}}, true},
        {"line above the top", {{{0, 32767}, moveTo}, {{0, 1}, lineTo}}, false},
        {"line along the left", {{{-32768, 0}, moveTo}, {{0, 10}, lineTo}}, true},
        {"line left of the left", {{{-32768, 0}, moveTo}, {{-1, 0}, lineTo}}, false},
        {"first control point above", {{{0, 32767}, moveTo}, {{0, 1, 10, -1, 10, 0}, curveTo}}, false},
        {"second control point above", {{{0, 32767}, moveTo}, {{10, 0, 0, 1, 10, -1}, curveTo}}, false},
        {"48 operands, a full stack", {{{0, 32767}, moveTo}, {operands({0, 1}, 48), lineTo}}, false},
        {"49 operands overflow", {{{0, 32767}, moveTo}, {operands({0, 1}, 49), lineTo}}, true},
        {"rcurveline's line above", {{{0, 32767}, moveTo}, {{0, 0, 0, 0, 0, 0, 0, 1}, curveLine}}, false},
        {"rcurveline short of operands", {{{0, 32767}, moveTo}, {operands({0, 1}, 7), curveLine}}, true},
        // Its x and y sums are equal, so flex1 ends back at its starting x and moves by its last operand in y.
        {"flex1 ending above", {{{0, 32757}, moveTo}, {{10, 10, 0, 0, 0, 0, 0, 0, 0, 0, 1}, flex1}}, false},
    };
    for (const Case& c : cases) {
        Bytes changed(font);
        rewriteAllCharstrings(changed, cff, type2Program(c.steps));
        const bool accepted = isSafe(changed);
        EXPECT_EQ(accepted, c.accepted) << c.what;
        if (accepted) bakeLikeClient(changed);
    }
}

TEST(FontCheck, ExplodingSubroutineCallsAreRefused) {
    const Bytes font = readFontFile();
    const CffView cff = readCff(font);
    constexpr int Levels = 8;
    // The longest global subroutines become a chain: each calls the next `fanOut` times.
    std::vector<uint32_t> chain;
    for (uint32_t i = 0; i < cff.globalSubroutines.count; ++i) chain.push_back(i);
    auto length = [&](uint32_t i) {
        return indexOffset(font, cff.globalSubroutines, i + 1) - indexOffset(font, cff.globalSubroutines, i);
    };
    std::sort(chain.begin(), chain.end(), [&](uint32_t a, uint32_t b) { return length(a) > length(b); });
    ASSERT_GE(chain.size(), size_t(Levels));
    chain.resize(Levels);
    auto withFanOut = [&](int fanOut) {
        Bytes changed(font);
        for (int level = 0; level < Levels; ++level) {
            Bytes body;
            if (level + 1 < Levels) {
                const uint8_t next = subroutineNumber(chain[level + 1], cff.globalSubroutines.count);
                for (int i = 0; i < fanOut; ++i) body.insert(body.end(), {next, 0x1D});  // callgsubr
            }
            body.push_back(0x0B);  // return
            EXPECT_TRUE(rewriteElement(changed, cff.globalSubroutines, chain[level], body)) << level;
        }
        rewriteAllCharstrings(changed, cff, {subroutineNumber(chain[0], cff.globalSubroutines.count), 0x1D, 0x0E});
        return changed;
    };
    EXPECT_TRUE(isSafe(withFanOut(1)));   // eight nested calls per glyph
    EXPECT_FALSE(isSafe(withFanOut(8)));  // 8^7 calls per glyph, each time stb_truetype draws it
}

TEST(FontCheck, CidKeyedCffIsRefused) {
    const Bytes font = readFontFile();
    const CffView cff = readCff(font);
    // Rewrites the Top DICT's first entry in place as "1 <operator 12 second>", padded with zeros.
    auto withFirstEntry = [&](uint8_t second) {
        Bytes changed(font);
        size_t at = cff.topDicts.dataBase + indexOffset(font, cff.topDicts, 0);
        const size_t begin = at;
        for (int32_t ignored = 0; font.at(at) >= 28;) at = readOperand(font, at, ignored);
        const size_t end = at + (font.at(at) == 12 ? 2 : 1);
        EXPECT_GE(end - begin, 3u);
        std::fill(changed.begin() + std::ptrdiff_t(begin), changed.begin() + std::ptrdiff_t(end), uint8_t(0x8B));
        changed.at(begin) = 0x8C;  // the operand 1
        changed.at(end - 2) = 12;
        changed.at(end - 1) = second;
        return changed;
    };
    EXPECT_TRUE(isSafe(withFirstEntry(20)));   // SyntheticBase: stb_truetype ignores it
    EXPECT_FALSE(isSafe(withFirstEntry(36)));  // FDArray: a CID-keyed font
}

TEST(FontCheck, CharacterPastTheLastCharstringIsRefused) {
    const Bytes font = readFontFile();
    const CffView cff = readCff(font);
    const TableRecord cmap = findTable(font, "cmap");
    // The real font's Unicode subtable: format 4 in the last usable encoding record.
    size_t subtable = 0;
    for (uint32_t i = 0; i < readU16(font, cmap.offset + 2); ++i) {
        const size_t record = cmap.offset + 4 + 8 * size_t(i);
        const uint32_t platform = readU16(font, record), encoding = readU16(font, record + 2);
        if (platform == 0 || (platform == 3 && (encoding == 1 || encoding == 10)))
            subtable = cmap.offset + readU32(font, record + 4);
    }
    ASSERT_EQ(readU16(font, subtable), 4u);
    const uint32_t segments = readU16(font, subtable + 6) / 2;
    // Every segment maps code point c to c + delta; hhea is set to one long metric so hmtx covers
    // glyph numbers far past the CharStrings INDEX and only the charstring check is left to refuse.
    auto withDelta = [&](uint32_t delta) {
        Bytes changed(font);
        for (uint32_t segment = 0; segment < segments; ++segment) {
            writeU16(changed, subtable + 16 + 4 * size_t(segments) + 2 * segment, delta);  // idDelta
            writeU16(changed, subtable + 16 + 6 * size_t(segments) + 2 * segment, 0);      // idRangeOffset
        }
        writeU16(changed, findTable(font, "hhea").offset + 34, 1);
        return changed;
    };
    EXPECT_TRUE(isSafe(withDelta(uint32_t(1 - 32) & 0xFFFF)));  // ' ' -> 1 ... '~' -> 95
    const uint32_t pastEnd = cff.charStrings.count + 10;
    ASSERT_LT(pastEnd + 95, (findTable(font, "hmtx").length - 4) / 2);
    EXPECT_FALSE(isSafe(withDelta(uint32_t(pastEnd - 32) & 0xFFFF)));
}

// ---------------------------------------------------------------------------------------------
// Not fonts at all

TEST(FontCheck, EmptyAndTinyInputsAreRefused) {
    EXPECT_FALSE(isFontDataSafe(nullptr, 0));
    EXPECT_FALSE(isSafe(Bytes{}));
    EXPECT_FALSE(isSafe(Bytes{0x00}));
    EXPECT_FALSE(isSafe(Bytes{'O', 'T', 'T', 'O', 0, 0, 0, 0, 0, 0, 0}));
    EXPECT_FALSE(isSafe(Bytes{'O', 'T', 'T', 'O', 0, 0, 0, 0, 0, 0, 0, 0}));
}

TEST(FontCheck, RandomBytesAreRefused) {
    std::mt19937 random(20240607);
    for (size_t size : {16u, 100u, 4096u, 65536u}) {
        for (int round = 0; round < 20; ++round) {
            Bytes noise(size);
            for (uint8_t& byte : noise) byte = uint8_t(random());
            EXPECT_FALSE(isSafe(noise)) << size;
            // Even behind a plausible header.
            const uint8_t header[] = {'O', 'T', 'T', 'O', 0, 9};
            std::copy(std::begin(header), std::end(header), noise.begin());
            EXPECT_FALSE(isSafe(noise)) << size;
        }
    }
}

TEST(FontCheck, ImageFilesAreRefused) {
    Bytes png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n', 0, 0, 0, 13, 'I', 'H', 'D', 'R',
                 0, 0, 1, 0, 0, 0, 1, 0, 8, 6, 0, 0, 0};
    png.resize(2048, 0);
    EXPECT_FALSE(isSafe(png));
    Bytes jpeg = {0xFF, 0xD8, 0xFF, 0xE0, 0x00, 0x10, 'J', 'F', 'I', 'F', 0, 1, 1, 0, 0, 1, 0, 1, 0, 0};
    jpeg.resize(2048, 0);
    EXPECT_FALSE(isSafe(jpeg));
}

// ---------------------------------------------------------------------------------------------
// TrueType outlines, one fault at a time. Each test first shows its undamaged font is accepted.

TEST(FontCheckTrueType, WellFormedFontIsAcceptedAndBakes) {
    TrueTypeParts parts;
    std::vector<uint32_t> glyphs(95, 1);
    glyphs['B' - 32] = 2;  // one character drawn through the composite glyph
    parts.characterMap = trimmedCharacterMap(glyphs);
    const Bytes font = buildTrueTypeFont(parts);
    EXPECT_TRUE(isSafe(font));
    EXPECT_TRUE(bakeLikeClient(font));
}

TEST(FontCheckTrueType, LocaPointingPastGlyfIsRefused) {
    const Bytes good = buildTrueTypeFont({});
    ASSERT_TRUE(isSafe(good));
    Bytes font(good);
    const TableRecord loca = findTable(font, "loca");
    const TableRecord glyf = findTable(font, "glyf");
    writeU32(font, loca.offset + 2 * 4, glyf.length + 4);  // end of glyph 1
    EXPECT_FALSE(isSafe(font));
}

TEST(FontCheckTrueType, GlyphShorterThanItsPointsIsRefused) {
    TrueTypeParts parts;
    Bytes shortSquare = squareGlyph();
    shortSquare.pop_back();  // drop the last y delta
    shortSquare.pop_back();
    parts.glyphs[1] = shortSquare;
    parts.glyphs.push_back(squareGlyph());  // so the cut glyph is not at the end of glyf
    EXPECT_FALSE(isSafe(buildTrueTypeFont(parts)));
}

TEST(FontCheckTrueType, CompositeCycleIsRefused) {
    TrueTypeParts parts;
    parts.characterMap = trimmedCharacterMap(std::vector<uint32_t>(95, 2));
    ASSERT_TRUE(isSafe(buildTrueTypeFont(parts)));
    parts.glyphs[2] = compositeGlyph(2, 100, 0);  // refers to itself
    EXPECT_FALSE(isSafe(buildTrueTypeFont(parts)));
    parts.glyphs[2] = withSecondComponent(compositeGlyph(1, 100, 0), 1);
    EXPECT_TRUE(isSafe(buildTrueTypeFont(parts)));
    parts.glyphs[2] = withSecondComponent(compositeGlyph(1, 100, 0), 2);  // its second component is itself
    EXPECT_FALSE(isSafe(buildTrueTypeFont(parts)));
}

TEST(FontCheckTrueType, CompositeTransformLeavingShortRangeIsRefused) {
    TrueTypeParts parts;
    parts.characterMap = trimmedCharacterMap(std::vector<uint32_t>(95, 2));
    // A stroke at x = 500 from y = 0 to 700.
    parts.glyphs[1] = simpleGlyph({{{500, 0, true}, {500, 700, true}, {500, 350, true}}});
    parts.glyphs[2] = compositeGlyph(1, 0, 0, {0x4000}, 600, 2800);  // scale 1.0
    ASSERT_TRUE(isSafe(buildTrueTypeFont(parts)));
    // Scale ~2.0 with x offset 31768: x becomes ~65534, which stb_truetype converts to a 16-bit
    // coordinate (undefined; in practice -3, inside the glyph box).
    parts.glyphs[2] = compositeGlyph(1, 31768, 0, {0x7FFF}, 600, 2800);
    EXPECT_FALSE(isSafe(buildTrueTypeFont(parts)));
}

TEST(FontCheckTrueType, ComponentIsJudgedWhereItsMatrixPlacesIt) {
    // Under the matrix (0.5 0.25, 0.125 0.75) stb_truetype puts glyph 1's corner (500, 700) at
    // (188, 494): it scales x by |(0.5, 0.25)| and y by |(0.125, 0.75)| as well. The box may be 62
    // units short of the outline on each side (a sixteenth of the line height).
    auto placedInBox = [](int32_t xMax, int32_t yMax) {
        TrueTypeParts parts;
        parts.characterMap = trimmedCharacterMap(std::vector<uint32_t>(95, 2));
        parts.glyphs[2] = compositeGlyph(1, 0, 0, {0x2000, 0x1000, 0x0800, 0x3000}, xMax, yMax);
        return isSafe(buildTrueTypeFont(parts));
    };
    EXPECT_TRUE(placedInBox(188 - 62, 494 - 62));
    EXPECT_FALSE(placedInBox(187 - 62, 494 - 62));
    EXPECT_FALSE(placedInBox(188 - 62, 493 - 62));
}

TEST(FontCheckTrueType, LoneOffCurvePointEndingTheGlyphIsRefused) {
    const std::vector<OutlinePoint> triangle = {{0, 0, true}, {500, 0, true}, {250, 700, true}};
    TrueTypeParts parts;
    parts.glyphs[1] = simpleGlyph({triangle, {{250, 300, true}}});
    ASSERT_TRUE(isSafe(buildTrueTypeFont(parts)));
    // stb_truetype would look one vertex past its array for the point after it.
    parts.glyphs[1] = simpleGlyph({triangle, {{250, 300, false}}});
    EXPECT_FALSE(isSafe(buildTrueTypeFont(parts)));
}

TEST(FontCheckTrueType, OutlineOutsideItsGlyphBoxIsRefused) {
    const std::vector<std::vector<OutlinePoint>> wide = {{{0, 0, true}, {5000, 0, true}, {0, 700, true}}};
    TrueTypeParts parts;
    parts.glyphs[1] = simpleGlyph(wide, 5000);
    ASSERT_TRUE(isSafe(buildTrueTypeFont(parts)));
    // Same outline, box claiming 500 units: the rasterizer would clip it on its slow path.
    parts.glyphs[1] = simpleGlyph(wide, 500);
    EXPECT_FALSE(isSafe(buildTrueTypeFont(parts)));

    // A square box with the outline poking `reach` units out of each side. The slack is a sixteenth
    // of the line height, but at least 2 units.
    struct Case { int32_t lineHeight, size, reach; bool accepted; };
    for (const Case& c : {Case{1000, 500, 62, true}, Case{1000, 500, 63, false}, Case{20, 100, 2, true},
                          Case{20, 100, 3, false}}) {
        const int32_t size = c.size, middle = c.size / 2, reach = c.reach;
        parts.ascent = c.lineHeight;
        parts.descent = 0;
        parts.glyphs[1] = simpleGlyph({{{0, 0, true}, {middle, -reach, true}, {size, 0, true},
                                        {size + reach, middle, true}, {size, size, true},
                                        {middle, size + reach, true}, {0, size, true}, {-reach, middle, true}}},
                                      size, size);
        EXPECT_EQ(isSafe(buildTrueTypeFont(parts)), c.accepted) << c.lineHeight << " " << c.reach;
    }
}

TEST(FontCheckTrueType, GlyphWiderThanTheAtlasIsRefused) {
    TrueTypeParts parts;
    parts.glyphs[1] = simpleGlyph({{{0, 0, true}, {9000, 0, true}, {0, 700, true}}}, 9000);
    ASSERT_TRUE(isSafe(buildTrueTypeFont(parts)));  // 9000 units at 96 px is 864 pixels
    parts.glyphs[1] = simpleGlyph({{{0, 0, true}, {12000, 0, true}, {0, 700, true}}}, 12000);
    EXPECT_FALSE(isSafe(buildTrueTypeFont(parts)));  // 1152 pixels: wider than a 1024-pixel row
    // With a 1024-unit line the 96-pixel scale is exact: 10880 units are 1020 pixels, the widest
    // glyph that leaves the row's rounding room.
    parts.ascent = 824;
    for (const auto& [width, accepted] : {std::pair{10880, true}, std::pair{10881, false}}) {
        parts.glyphs[1] = simpleGlyph({{{0, 0, true}, {width, 0, true}, {0, 700, true}}}, width);
        EXPECT_EQ(isSafe(buildTrueTypeFont(parts)), accepted) << width;
    }
}

TEST(FontCheckTrueType, UnsupportedCharacterMapFormatIsRefused) {
    TrueTypeParts parts;
    ByteWriter highByte;
    highByte.u16(2).u16(518).u16(0);
    for (int i = 0; i < 256; ++i) highByte.u16(0);
    parts.characterMap = highByte.bytes;
    EXPECT_FALSE(isSafe(buildTrueTypeFont(parts)));
}

TEST(FontCheckTrueType, GroupMapGivingGlyphsTheFontLacksIsRefused) {
    auto groupMap = [](uint32_t format, uint32_t last, uint32_t startGlyph) {
        ByteWriter map;
        map.u16(format).u16(0).u32(28).u32(0).u32(1).u32(32).u32(last).u32(startGlyph);
        return map.bytes;
    };
    TrueTypeParts parts;
    parts.characterMap = groupMap(12, 33, 1);
    ASSERT_TRUE(isSafe(buildTrueTypeFont(parts)));
    parts.characterMap = groupMap(12, 33, 0xFFFFFF00u);  // a negative glyph number
    EXPECT_FALSE(isSafe(buildTrueTypeFont(parts)));
    // Format 13 gives the whole group one glyph; format 12 counts up from it, past the three glyphs.
    parts.characterMap = groupMap(13, 126, 1);
    EXPECT_TRUE(isSafe(buildTrueTypeFont(parts)));
    parts.characterMap = groupMap(12, 126, 1);
    EXPECT_FALSE(isSafe(buildTrueTypeFont(parts)));
}

TEST(FontCheckTrueType, SegmentArraysPastTheTableAreRefused) {
    TrueTypeParts parts;
    ByteWriter map;
    // Format 4 claiming 1000 segments but carrying one.
    map.u16(4).u16(24).u16(0).u16(2000).u16(0).u16(0).u16(0).u16(0xFFFF).u16(0).u16(0xFFFF).u16(1).u16(0);
    parts.characterMap = map.bytes;
    EXPECT_FALSE(isSafe(buildTrueTypeFont(parts)));
}

TEST(FontCheckTrueType, SegmentMapSearchFindsEverySegment) {
    // Seven one-character segments and the closing one: the search takes three halving steps.
    std::vector<std::pair<uint32_t, uint32_t>> characters;
    for (uint32_t codepoint : {35, 45, 55, 65, 75, 85, 95}) characters.push_back({codepoint, 1});
    TrueTypeParts parts;
    parts.characterMap = segmentMap(characters);
    EXPECT_TRUE(isSafe(buildTrueTypeFont(parts)));
    characters[5].second = 3;  // 'U' maps to a glyph without metrics
    parts.characterMap = segmentMap(characters);
    EXPECT_FALSE(isSafe(buildTrueTypeFont(parts)));
}

TEST(FontCheckTrueType, MissingHorizontalMetricsAreRefused) {
    TrueTypeParts parts;
    parts.longMetrics = 1;
    ASSERT_TRUE(isSafe(buildTrueTypeFont(parts)));
    parts.longMetrics = 0;  // stb_truetype would read the entry before hmtx
    EXPECT_FALSE(isSafe(buildTrueTypeFont(parts)));
    // The characters' glyph 1 has its advance and side bearing 4..7 bytes into hmtx.
    parts.longMetrics = -1;
    parts.metricsBytesCut = 4;
    EXPECT_TRUE(isSafe(buildTrueTypeFont(parts)));
    parts.metricsBytesCut = 6;  // the side bearing is cut off
    EXPECT_FALSE(isSafe(buildTrueTypeFont(parts)));
}

TEST(FontCheckTrueType, GlyphCountBeyondLocaIsRefused) {
    TrueTypeParts parts;
    parts.characterMap = trimmedCharacterMap(std::vector<uint32_t>(95, 2));
    parts.longMetrics = 1;
    parts.glyphCountOverride = 3;
    ASSERT_TRUE(isSafe(buildTrueTypeFont(parts)));
    // maxp claims more glyphs than loca has, and the characters map to one of them.
    parts.glyphCountOverride = 200;
    parts.characterMap = trimmedCharacterMap(std::vector<uint32_t>(95, 150));
    EXPECT_FALSE(isSafe(buildTrueTypeFont(parts)));
}

TEST(FontCheckTrueType, PairPositioningReachingPastGposIsRefused) {
    TrueTypeParts parts;
    parts.extraTables = {{"GPOS", pairPositioning()}};
    const Bytes good = buildTrueTypeFont(parts);
    ASSERT_TRUE(isSafe(good));
    EXPECT_EQ(kerningBetweenLetters(good), -50);  // the table is read the way it was meant
    parts.extraTables = {{"GPOS", pairPositioning(0xFFF0)}};
    EXPECT_FALSE(isSafe(buildTrueTypeFont(parts)));
    parts.extraTables = {{"GPOS", pairPositioning(18, 40)}};
    EXPECT_FALSE(isSafe(buildTrueTypeFont(parts)));
    // With no pair sets counted stb_truetype stops before reading the pairs, however many are claimed.
    parts.extraTables = {{"GPOS", pairPositioning(18, 40, -50, 0)}};
    const Bytes uncounted = buildTrueTypeFont(parts);
    EXPECT_TRUE(isSafe(uncounted));
    EXPECT_EQ(kerningBetweenLetters(uncounted), 0);
}

TEST(FontCheckTrueType, KerningPairsPastKernAreRefused) {
    TrueTypeParts parts;
    parts.extraTables = {{"kern", kerningTable(1, 1)}};
    const Bytes good = buildTrueTypeFont(parts);
    ASSERT_TRUE(isSafe(good));
    EXPECT_EQ(kerningBetweenLetters(good), -30);
    parts.extraTables = {{"kern", kerningTable(50, 1)}};
    EXPECT_FALSE(isSafe(buildTrueTypeFont(parts)));
}

TEST(FontCheckTrueType, FlatOrInvertedLineHeightIsRefused) {
    TrueTypeParts parts;
    parts.ascent = 500;
    parts.descent = 500;
    EXPECT_FALSE(isSafe(buildTrueTypeFont(parts)));
    parts.descent = 600;
    EXPECT_FALSE(isSafe(buildTrueTypeFont(parts)));
}

}  // namespace
