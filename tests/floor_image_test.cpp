// Floor texture decoding and the CPU mip chain.
#include <gtest/gtest.h>

#include <vector>

#define STB_IMAGE_WRITE_IMPLEMENTATION
#include <stb/stb_image_write.h>

#include "render/floor_image.h"

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

TEST(FloorDecode, HuffmanTablesAreCheckedBeforeDecoding) {
    std::vector<unsigned char> jpeg = smallColourJpeg();
    ASSERT_TRUE(jpegTablesAreSafe(jpeg.data(), jpeg.size()));
    size_t dht = findMarker(jpeg, 0xC4);
    ASSERT_NE(dht, 0u);
    RgbaImage image;

    // Counts adding up to more than the 256 symbols a table holds.
    std::vector<unsigned char> tooMany = jpeg;
    tooMany[dht + 5 + 15] = 255;  // the first table's count of 16-bit codes
    tooMany[dht + 5 + 14] = 255;
    EXPECT_FALSE(jpegTablesAreSafe(tooMany.data(), tooMany.size()));
    EXPECT_FALSE(decodeJpegRgba(tooMany.data(), tooMany.size(), image));

    // A table class other than DC or AC.
    std::vector<unsigned char> badClass = jpeg;
    badClass[dht + 4] = 0x20;
    EXPECT_FALSE(jpegTablesAreSafe(badClass.data(), badClass.size()));

    // The segment's length cut so its symbols run past it.
    std::vector<unsigned char> shortSegment = jpeg;
    shortSegment[dht + 2] = 0;
    shortSegment[dht + 3] = 19;
    EXPECT_FALSE(jpegTablesAreSafe(shortSegment.data(), shortSegment.size()));

    EXPECT_TRUE(decodeJpegRgba(jpeg.data(), jpeg.size(), image)) << "the untouched file still decodes";
}

TEST(FloorDecode, ScansMustNameDefinedTables) {
    std::vector<unsigned char> jpeg = smallColourJpeg();
    size_t dht = findMarker(jpeg, 0xC4);
    size_t sos = findMarker(jpeg, 0xDA);
    ASSERT_NE(dht, 0u);
    ASSERT_NE(sos, 0u);
    RgbaImage image;

    // The table segment turned into an application segment: the scan's tables are never defined.
    std::vector<unsigned char> noTables = jpeg;
    noTables[dht + 1] = 0xE5;
    EXPECT_FALSE(jpegTablesAreSafe(noTables.data(), noTables.size()));
    EXPECT_FALSE(decodeJpegRgba(noTables.data(), noTables.size(), image));

    // The first component asking for table 3, which no segment defines.
    std::vector<unsigned char> undefinedId = jpeg;
    undefinedId[sos + 6] = 0x33;
    EXPECT_FALSE(jpegTablesAreSafe(undefinedId.data(), undefinedId.size()));
    EXPECT_FALSE(decodeJpegRgba(undefinedId.data(), undefinedId.size(), image));
}
