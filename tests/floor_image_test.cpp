// Floor texture decoding and the CPU mip chain.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>
#include <iterator>
#include <vector>

#define STB_IMAGE_WRITE_IMPLEMENTATION
#include <stb/stb_image_write.h>

#include "floor_image/floor_image.h"

namespace {

void appendBytes(void* context, void* data, int size) {
    auto* out = static_cast<std::vector<unsigned char>*>(context);
    out->insert(out->end(), static_cast<unsigned char*>(data), static_cast<unsigned char*>(data) + size);
}

RgbaImage imageOf(int width, int height, std::vector<uint8_t> pixels) { return {width, height, std::move(pixels)}; }

}  // namespace

TEST(MipChain, LevelCounts) {
    struct Case {
        int width, height, levels;
    };
    for (Case c : {Case{1, 1, 1}, Case{2, 2, 2}, Case{1024, 1024, 11}, Case{1024, 512, 11}, Case{3, 1, 2},
                   Case{1, 1000, 10}, Case{5, 3, 3}}) {
        EXPECT_EQ(mipLevelCount(c.width, c.height), c.levels) << c.width << "x" << c.height;
    }
}

TEST(MipChain, LastLevelsOfAWideImageAreTwoByOneThenOneByOne) {
    RgbaImage level = imageOf(1024, 512, std::vector<uint8_t>(1024 * 512 * 4, 7));
    for (int i = 1; i < 10; ++i) level = nextMipLevel(level);
    EXPECT_EQ(level.width, 2);
    EXPECT_EQ(level.height, 1);
    level = nextMipLevel(level);
    EXPECT_EQ(level.width, 1);
    EXPECT_EQ(level.height, 1);
    EXPECT_EQ(level.pixels[0], 7);
}

TEST(MipChain, BoxFilterRoundsAndDropsTheOddColumn) {
    // 3 x 1: level 1 is the rounded mean of columns 0 and 1, each counted twice; column 2 is unread.
    RgbaImage level = imageOf(3, 1, {10, 0, 255, 1, 13, 1, 0, 2, 200, 200, 200, 200});
    RgbaImage next = nextMipLevel(level);
    ASSERT_EQ(next.width, 1);
    ASSERT_EQ(next.height, 1);
    EXPECT_EQ(next.pixels[0], (10 + 10 + 13 + 13 + 2) / 4);  // 12: rounded, not truncated (11.5)
    EXPECT_EQ(next.pixels[1], 1);                              // (0 + 0 + 1 + 1 + 2) / 4 = 1
    EXPECT_EQ(next.pixels[2], 128);                            // (255 + 255 + 0 + 0 + 2) / 4
    EXPECT_EQ(next.pixels[3], 2);                              // (1 + 1 + 2 + 2 + 2) / 4
}

// One- and odd-pixel-wide levels read only their own pixels: the pixel beside one in a column of
// width 1 is the next row's, or past the image at its end. Grey values, the same in all four channels.
TEST(MipChain, NarrowAndOddLevelsAverageOnlyTheirOwnPixels) {
    struct Case {
        int width, height;
        std::vector<uint8_t> grey;
        int nextWidth, nextHeight;
        std::vector<uint8_t> nextGrey;
    };
    const Case cases[] = {
        {1, 1, {7}, 1, 1, {7}},
        {1, 2, {0, 8}, 1, 1, {4}},
        {2, 1, {0, 8}, 1, 1, {4}},
        {1, 3, {10, 20, 40}, 1, 1, {15}},
        {3, 1, {10, 20, 40}, 1, 1, {15}},
        {1, 5, {0, 4, 8, 12, 100}, 1, 2, {2, 10}},
        {5, 1, {0, 4, 8, 12, 100}, 2, 1, {2, 10}},
        {3, 2, {0, 10, 20, 30, 40, 50}, 1, 1, {20}},
        {3, 3, {0, 10, 20, 30, 40, 50, 60, 70, 80}, 1, 1, {20}},
        {2, 3, {0, 10, 20, 30, 40, 50}, 1, 1, {15}},
    };
    for (const Case& c : cases) {
        std::vector<uint8_t> pixels;
        for (uint8_t value : c.grey) pixels.insert(pixels.end(), 4, value);
        RgbaImage next = nextMipLevel(imageOf(c.width, c.height, pixels));
        ASSERT_EQ(next.width, c.nextWidth) << c.width << "x" << c.height;
        ASSERT_EQ(next.height, c.nextHeight) << c.width << "x" << c.height;
        std::vector<uint8_t> expected;
        for (uint8_t value : c.nextGrey) expected.insert(expected.end(), 4, value);
        EXPECT_EQ(next.pixels, expected) << c.width << "x" << c.height;
    }
}

TEST(MipChain, AveragesTwoByTwoBlocks) {
    RgbaImage level = imageOf(2, 2, {0, 0, 0, 0, 4, 4, 4, 4, 8, 8, 8, 8, 255, 255, 255, 255});
    RgbaImage next = nextMipLevel(level);
    EXPECT_EQ(next.pixels[0], (0 + 4 + 8 + 255 + 2) / 4);
}

TEST(FloorDecode, GreyJpegLoadsAsOpaqueRgba) {
    std::vector<unsigned char> grey(16 * 8);
    for (size_t i = 0; i < grey.size(); ++i) grey[i] = uint8_t(i * 2);
    std::vector<unsigned char> jpeg;
    ASSERT_TRUE(stbi_write_jpg_to_func(appendBytes, &jpeg, 16, 8, 1, grey.data(), 95));
    RgbaImage image;
    ASSERT_TRUE(decodeJpegRgba(jpeg.data(), jpeg.size(), image));
    EXPECT_EQ(image.width, 16);
    EXPECT_EQ(image.height, 8);
    ASSERT_EQ(image.pixels.size(), 16u * 8u * 4u);
    for (size_t i = 0; i < image.pixels.size(); i += 4) {
        EXPECT_EQ(image.pixels[i], image.pixels[i + 1]);
        EXPECT_EQ(image.pixels[i], image.pixels[i + 2]);
        EXPECT_EQ(image.pixels[i + 3], 255);
    }
}

TEST(FloorDecode, RefusesWhatIsNotAJpeg) {
    std::vector<unsigned char> rgb(8 * 8 * 3, 100);
    std::vector<unsigned char> png;
    ASSERT_TRUE(stbi_write_png_to_func(appendBytes, &png, 8, 8, 3, rgb.data(), 8 * 3));
    RgbaImage image;
    EXPECT_FALSE(decodeJpegRgba(png.data(), png.size(), image));

    std::vector<unsigned char> jpeg;
    ASSERT_TRUE(stbi_write_jpg_to_func(appendBytes, &jpeg, 8, 8, 3, rgb.data(), 90));
    EXPECT_FALSE(decodeJpegRgba(jpeg.data(), 20, image)) << "a truncated header";
    EXPECT_FALSE(decodeJpegRgba(jpeg.data(), 0, image));
    EXPECT_FALSE(decodeJpegRgba(nullptr, 100, image));
    const char text[] = "not an image at all";
    EXPECT_FALSE(decodeJpegRgba(text, sizeof(text), image));
}

TEST(FloorDecode, RefusesImagesLargerThanATextureMayBe) {
    std::vector<unsigned char> rgb(size_t(4097) * 2 * 3, 50);
    std::vector<unsigned char> jpeg;
    ASSERT_TRUE(stbi_write_jpg_to_func(appendBytes, &jpeg, 4097, 2, 3, rgb.data(), 50));
    RgbaImage image;
    EXPECT_FALSE(decodeJpegRgba(jpeg.data(), jpeg.size(), image));
}

namespace {

std::vector<unsigned char> smallColourJpeg() {
    std::vector<unsigned char> rgb(16 * 16 * 3);
    for (size_t i = 0; i < rgb.size(); ++i) rgb[i] = uint8_t(i * 7);
    std::vector<unsigned char> jpeg;
    stbi_write_jpg_to_func(appendBytes, &jpeg, 16, 16, 3, rgb.data(), 90);
    return jpeg;
}

// Offset of the first marker segment of this kind (the 0xFF byte), or 0.
size_t findMarker(const std::vector<unsigned char>& jpeg, unsigned char marker) {
    size_t at = 2;
    while (at + 4 <= jpeg.size() && jpeg[at] == 0xFF) {
        if (jpeg[at + 1] == marker) return at;
        at += 2 + ((size_t(jpeg[at + 2]) << 8) | jpeg[at + 3]);
    }
    return 0;
}

}  // namespace

namespace {

std::vector<unsigned char> patched(std::vector<unsigned char> jpeg, size_t at, std::vector<unsigned char> bytes) {
    std::copy(bytes.begin(), bytes.end(), jpeg.begin() + std::ptrdiff_t(at));
    return jpeg;
}

std::vector<unsigned char> cut(std::vector<unsigned char> jpeg, size_t size) {
    jpeg.resize(size);
    return jpeg;
}

bool allPixelsEqual(const RgbaImage& image) {
    for (size_t i = 4; i < image.pixels.size(); ++i)
        if (image.pixels[i] != image.pixels[i % 4]) return false;
    return true;
}

}  // namespace

// The decoder stops at a damaged segment after the frame header, or at the end of the file, and
// still returns the image. Whatever no scan wrote must be zero, not stale heap (the sanitizer run
// fills fresh allocations with 190): zero Y, Cb and Cr samples make red and blue 0; a progressive
// image that ends normally turns its zero coefficients into mid grey. Refusing would do as well.
TEST(FloorDecode, WhatTheDecoderStoppedBeforeIsZero) {
    const std::vector<unsigned char> jpeg = smallColourJpeg();
    const size_t sof = findMarker(jpeg, 0xC0), dht = findMarker(jpeg, 0xC4), sos = findMarker(jpeg, 0xDA);
    ASSERT_NE(sof, 0u);
    ASSERT_NE(dht, 0u);
    ASSERT_NE(sos, 0u);
    struct Case {
        const char* what;
        std::vector<unsigned char> file;
        int red;  // of every pixel
    };
    const Case cases[] = {
        // The first table's counts of 15- and 16-bit codes: far more than the 256 symbols it holds.
        {"too many symbols", patched(jpeg, dht + 5 + 14, {255, 255}), 0},
        {"a class other than DC or AC", patched(jpeg, dht + 4, {0x20}), 0},
        {"a table id above 3", patched(jpeg, dht + 4, {0x07}), 0},
        {"a segment too short for its symbols", patched(jpeg, dht + 2, {0, 19}), 0},
        {"more 1-bit codes than one bit tells apart", patched(jpeg, dht + 5, {3}), 0},
        {"an unknown marker before the scan", patched(jpeg, sos, {0xFF, 0xC8}), 0},
        {"the file cut before its scan", cut(jpeg, sos), 0},
        {"the image ended before its scan", cut(patched(jpeg, sos, {0xFF, 0xD9}), sos + 2), 0},
        {"a progressive frame cut before its first scan", cut(patched(jpeg, sof + 1, {0xC2}), sos), 0},
        // Here the decoder finishes normally, turning the coefficients of every block into samples.
        {"a progressive image ended before its first scan",
         cut(patched(patched(jpeg, sof + 1, {0xC2}), sos, {0xFF, 0xD9}), sos + 2), 128},
    };
    for (const Case& c : cases) {
        RgbaImage image;
        if (!decodeJpegRgba(c.file.data(), c.file.size(), image)) continue;
        ASSERT_EQ(image.pixels.size(), 16u * 16u * 4u) << c.what;
        EXPECT_TRUE(allPixelsEqual(image)) << c.what;
        EXPECT_EQ(image.pixels[0], c.red) << c.what;
        EXPECT_EQ(image.pixels[2], c.red) << c.what;
    }
    RgbaImage image;
    ASSERT_TRUE(decodeJpegRgba(jpeg.data(), jpeg.size(), image)) << "the untouched file still decodes";
    EXPECT_FALSE(allPixelsEqual(image));
}

// A scan that names Huffman tables no segment defined decodes from cleared tables: no bits are read
// and every coefficient is zero. Refusing it would do as well; reading stale memory would not.
TEST(FloorDecode, ScansNamingUndefinedTablesAreSafe) {
    const std::vector<unsigned char> jpeg = smallColourJpeg();
    const size_t dht = findMarker(jpeg, 0xC4), sos = findMarker(jpeg, 0xDA);
    ASSERT_NE(dht, 0u);
    ASSERT_NE(sos, 0u);
    RgbaImage image;
    // The table segment turned into an application segment: no component has a table.
    std::vector<unsigned char> noTables = patched(jpeg, dht + 1, {0xE5});
    if (decodeJpegRgba(noTables.data(), noTables.size(), image)) {
        ASSERT_EQ(image.pixels.size(), 16u * 16u * 4u);
        EXPECT_TRUE(allPixelsEqual(image));
        EXPECT_EQ(image.pixels[0], 128);
    }
    // Only the first component asks for tables 3; the others read the bits it leaves.
    std::vector<unsigned char> undefinedId = patched(jpeg, sos + 6, {0x33});
    if (decodeJpegRgba(undefinedId.data(), undefinedId.size(), image)) {
        EXPECT_EQ(image.width, 16);
        EXPECT_EQ(image.height, 16);
        EXPECT_EQ(image.pixels.size(), 16u * 16u * 4u);
    }
}

namespace {

// A 16 x 8 grey baseline JPEG made by hand whose frame uses quantization table 0, which the file
// never defines: the application segment before it declares a length that swallows the only DQT.
// Each of the two blocks has a DC difference of +32767, so the second block's DC is 65534; scaled
// by a stale 16-bit quantizer that overflows an int. AC tables hold only end-of-block.
std::vector<unsigned char> jpegWithSwallowedQuantTable() {
    std::vector<unsigned char> jpeg = {0xFF, 0xD8};
    const unsigned char app[] = {0xFF, 0xE0, 0, 2 + 4 + 69, 'v', 'z', 'q', 't'};
    jpeg.insert(jpeg.end(), std::begin(app), std::end(app));
    const unsigned char dqt[] = {0xFF, 0xDB, 0, 67, 0x00};  // table 0, 8-bit, all entries 1
    jpeg.insert(jpeg.end(), std::begin(dqt), std::end(dqt));
    jpeg.insert(jpeg.end(), 64, 1);
    const unsigned char frame[] = {0xFF, 0xC0, 0, 11, 8, 0, 8, 0, 16, 1, 1, 0x11, 0};
    jpeg.insert(jpeg.end(), std::begin(frame), std::end(frame));
    // One 1-bit code each: DC symbol 15 (a 15-bit difference follows), AC symbol 0 (end of block).
    for (unsigned char table : {0x00, 0x10}) {
        const unsigned char dht[] = {0xFF, 0xC4, 0, 20, table, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
        jpeg.insert(jpeg.end(), std::begin(dht), std::end(dht));
        jpeg.push_back(table == 0 ? 15 : 0);
    }
    const unsigned char scan[] = {0xFF, 0xDA, 0, 8, 1, 1, 0x00, 0, 63, 0};
    jpeg.insert(jpeg.end(), std::begin(scan), std::end(scan));
    // Per block: code 0, fifteen 1 bits (+32767), code 0. Padded with 1 bits; 0xFF is stuffed.
    const unsigned char entropy[] = {0x7F, 0xFF, 0x00, 0x3F, 0xFF, 0x00, 0xBF, 0xFF, 0xD9};
    jpeg.insert(jpeg.end(), std::begin(entropy), std::end(entropy));
    return jpeg;
}

}  // namespace

TEST(FloorDecode, UndefinedQuantizationTableIsSafe) {
    std::vector<unsigned char> jpeg = jpegWithSwallowedQuantTable();
    RgbaImage image;
    if (!decodeJpegRgba(jpeg.data(), jpeg.size(), image)) return;  // refusing is safe too
    ASSERT_EQ(image.width, 16);
    ASSERT_EQ(image.height, 8);
    // Zero quantizers zero every coefficient: one flat grey, whatever the heap held before.
    for (size_t i = 0; i < image.pixels.size(); i += 4)
        EXPECT_EQ(image.pixels[i], image.pixels[0]) << "pixel " << i / 4;

    // With the segment length honest the table is real (all ones), and the decoder refuses the
    // second block's DC of 65534 as too large for 16 bits: the scan does reach the value that
    // overflowed with stale quantizers.
    jpeg[5] = 2 + 4;
    EXPECT_FALSE(decodeJpegRgba(jpeg.data(), jpeg.size(), image));
}
