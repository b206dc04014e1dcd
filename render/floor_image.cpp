// JPEG decoding and mip reduction. Levels are averaged on the stored 8-bit values as they are, the
// sRGB base map too.
#include "render/floor_image.h"

#include <stb/stb_image.h>

#include <climits>

namespace {

unsigned readU16(const uint8_t* at) { return (unsigned(at[0]) << 8) | at[1]; }

// Huffman tables defined so far: [class][id], class 0 for DC and 1 for AC.
struct DefinedTables {
    bool defined[2][4];
};

// One DHT segment: tables of a class/id byte, sixteen code counts and that many symbols, at most
// 256 symbols each.
bool readHuffmanTables(const uint8_t* segment, size_t length, DefinedTables& tables) {
    size_t at = 0;
    while (at < length) {
        if (length - at < 17) return false;
        unsigned tableClass = segment[at] >> 4, id = segment[at] & 15;
        if (tableClass > 1 || id > 3) return false;
        unsigned symbols = 0;
        for (int i = 1; i <= 16; ++i) symbols += segment[at + size_t(i)];
        if (symbols > 256) return false;
        at += 17;
        if (length - at < symbols) return false;
        at += symbols;
        tables.defined[tableClass][id] = true;
    }
    return true;
}

// A scan header: every component it codes must use tables defined before it. Progressive scans use
// only DC tables when their spectral selection starts at 0, else only AC tables.
bool scanTablesDefined(const uint8_t* segment, size_t length, bool progressive, const DefinedTables& tables) {
    if (length < 1) return false;
    unsigned components = segment[0];
    if (components < 1 || components > 4 || length < 1 + 2 * size_t(components) + 3) return false;
    unsigned spectralStart = segment[1 + 2 * components];
    bool needsDc = !progressive || spectralStart == 0;
    bool needsAc = !progressive || spectralStart != 0;
    for (unsigned i = 0; i < components; ++i) {
        unsigned dc = segment[2 + 2 * i] >> 4, ac = segment[2 + 2 * i] & 15;
        if (needsDc && (dc > 3 || !tables.defined[0][dc])) return false;
        if (needsAc && (ac > 3 || !tables.defined[1][ac])) return false;
    }
    return true;
}

}  // namespace

// The decoder builds Huffman tables into fixed arrays of 256 symbols without checking the counts a
// file declares, and decodes a scan with whatever a table slot holds, defined or not; either would
// read or write outside its tables. So every DHT segment (between scans too) is checked, and every
// scan must name defined tables.
bool jpegTablesAreSafe(const uint8_t* data, size_t size) {
    if (size < 4 || data[0] != 0xFF || data[1] != 0xD8) return false;
    DefinedTables tables = {};
    bool progressive = false;
    size_t at = 2;
    while (at < size) {
        if (data[at] != 0xFF) {
            ++at;  // entropy-coded data of a scan
            continue;
        }
        if (at + 1 >= size) return true;
        uint8_t marker = data[at + 1];
        if (marker == 0x00 || marker == 0xFF || (marker >= 0xD0 && marker <= 0xD7) || marker == 0x01) {
            at += marker == 0xFF ? 1 : 2;  // stuffed byte, fill byte, restart marker
            continue;
        }
        if (marker == 0xD9) return true;  // end of image
        if (at + 4 > size) return true;    // truncated: the decoder reports that itself
        size_t length = readU16(data + at + 2);
        if (length < 2 || at + 2 + length > size) return false;
        const uint8_t* segment = data + at + 4;
        if (marker == 0xC2) progressive = true;
        if (marker == 0xC4 && !readHuffmanTables(segment, length - 2, tables)) return false;
        if (marker == 0xDA && !scanTablesDefined(segment, length - 2, progressive, tables)) return false;
        at += 2 + length;
    }
    return true;
}

bool decodeJpegRgba(const void* bytes, size_t size, RgbaImage& image) {
    if (!bytes || size == 0 || size > size_t(INT_MAX)) return false;
    if (!jpegTablesAreSafe(static_cast<const uint8_t*>(bytes), size)) return false;
    int width = 0, height = 0, channels = 0;
    stbi_uc* decoded = stbi_load_from_memory(static_cast<const stbi_uc*>(bytes), int(size), &width, &height, &channels, 4);
    if (!decoded) return false;
    image.width = width;
    image.height = height;
    image.pixels.assign(decoded, decoded + size_t(width) * size_t(height) * 4);
    stbi_image_free(decoded);
    return true;
}

int mipLevelCount(int width, int height) {
    int largest = width > height ? width : height;
    int count = 1;
    if (largest >= 2) {
        while ((largest >> count) > 0) ++count;
    }
    return count;
}

RgbaImage nextMipLevel(const RgbaImage& level) {
    RgbaImage next;
    next.width = level.width / 2 > 1 ? level.width / 2 : 1;
    next.height = level.height / 2 > 1 ? level.height / 2 : 1;
    next.pixels.resize(size_t(next.width) * size_t(next.height) * 4);
    auto texel = [&](int x, int y, int channel) -> unsigned {
        if (x > level.width - 1) x = level.width - 1;
        if (y > level.height - 1) y = level.height - 1;
        return level.pixels[(size_t(y) * size_t(level.width) + size_t(x)) * 4 + size_t(channel)];
    };
    for (int y = 0; y < next.height; ++y) {
        for (int x = 0; x < next.width; ++x) {
            for (int channel = 0; channel < 4; ++channel) {
                unsigned sum = texel(2 * x, 2 * y, channel) + texel(2 * x + 1, 2 * y, channel) +
                               texel(2 * x, 2 * y + 1, channel) + texel(2 * x + 1, 2 * y + 1, channel);
                next.pixels[(size_t(y) * size_t(next.width) + size_t(x)) * 4 + size_t(channel)] = uint8_t((sum + 2) / 4);
            }
        }
    }
    return next;
}
