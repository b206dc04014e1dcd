// Tests for the floor material generator: seamless wrap, normals that match the height field,
// grout that reads as grout in occlusion and roughness, and reproducible, size-checked output.
#include "floor_material/floor_material.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

namespace {

constexpr int TestSize = 1024;
constexpr double Pi = 3.14159265358979;

const FloorMaterialImages& testImages() {
    static const FloorMaterialImages images = [] {
        FloorMaterialImages made;
        makeFloorMaterial(TestSize, made);
        return made;
    }();
    return images;
}

const std::vector<float>& testHeights() {
    static const std::vector<float> heights = makeFloorHeightField(TestSize);
    return heights;
}

double pixelMillimeters(int size) { return FloorImageMeters * 1000 / size; }

double decodeNormal(uint8_t value) { return value / 255.0 * 2 - 1; }

size_t pixelIndex(int size, int x, int y) {
    return size_t((y % size + size) % size) * size + size_t((x % size + size) % size);
}

// Mean absolute difference between each pixel of one column and its right-hand neighbour (alongX),
// or of one row and the row below, wrapping at the image edge.
double meanJump(const std::vector<float>& values, int size, int channels, int line, bool alongX) {
    double sum = 0;
    for (int i = 0; i < size; ++i) {
        int x = alongX ? line : i, y = alongX ? i : line;
        size_t here = pixelIndex(size, x, y), next = pixelIndex(size, x + alongX, y + !alongX);
        for (int channel = 0; channel < channels; ++channel)
            sum += std::abs(values[next * channels + channel] - values[here * channels + channel]);
    }
    return sum / (size * channels);
}

// The step across the wrap edge must look like the ordinary steps between neighbours just inside it,
// so a seam stands out against the same stretch of floor rather than the image as a whole.
void expectSeamless(const std::vector<float>& values, int size, int channels, const char* what) {
    constexpr int Nearby = 8;
    for (bool alongX : {true, false}) {
        std::vector<double> inside;
        for (int offset = 1; offset <= Nearby; ++offset) {
            inside.push_back(meanJump(values, size, channels, size - 1 - offset, alongX));
            inside.push_back(meanJump(values, size, channels, offset - 1, alongX));
        }
        std::nth_element(inside.begin(), inside.begin() + inside.size() / 2, inside.end());
        double typical = inside[inside.size() / 2];
        double edge = meanJump(values, size, channels, size - 1, alongX);
        EXPECT_LE(edge, 1.5 * typical) << what << (alongX ? ": left/right" : ": top/bottom") << " edge";
    }
}

std::vector<float> asFloats(const std::vector<uint8_t>& bytes) { return {bytes.begin(), bytes.end()}; }

struct GroutAndTile {
    std::vector<size_t> grout, interior;
};

// Pixels well inside the grout lines and well inside the tiles, found from the layout, not the images.
GroutAndTile classifyPixels(int size) {
    GroutAndTile pixels;
    for (int y = 0; y < size; ++y) {
        for (int x = 0; x < size; ++x) {
            double distance = floorTileEdgeDistance((x + 0.5) / size, (y + 0.5) / size);
            if (distance < -FloorGroutWidthMeters / 4) pixels.grout.push_back(pixelIndex(size, x, y));
            if (distance > 0.03) pixels.interior.push_back(pixelIndex(size, x, y));
        }
    }
    return pixels;
}

double channelMean(const std::vector<uint8_t>& image, const std::vector<size_t>& pixels, int channel) {
    double sum = 0;
    for (size_t pixel : pixels) sum += image[pixel * 3 + channel];
    return sum / double(pixels.size());
}

}  // namespace

TEST(FloorMaterialSize, RefusesSizesThatAreNotPowersOfTwoInRange) {
    for (int size : {-16, 0, 1, 8, 15, 17, 100, 1000, 8192}) {
        FloorMaterialImages images;
        EXPECT_FALSE(makeFloorMaterial(size, images)) << size;
        EXPECT_TRUE(images.base.empty()) << size;
        EXPECT_TRUE(makeFloorHeightField(size).empty()) << size;
    }
    EXPECT_TRUE(isFloorMaterialSize(16));
    EXPECT_TRUE(isFloorMaterialSize(4096));
}

TEST(FloorMaterialSize, SmallestSizeMakesThreeRgbImages) {
    FloorMaterialImages images;
    ASSERT_TRUE(makeFloorMaterial(16, images));
    EXPECT_EQ(images.size, 16);
    EXPECT_EQ(images.base.size(), 16u * 16 * 3);
    EXPECT_EQ(images.normal.size(), 16u * 16 * 3);
    EXPECT_EQ(images.orm.size(), 16u * 16 * 3);
}

TEST(FloorMaterialOutput, IsIdenticalAcrossRuns) {
    FloorMaterialImages first, second;
    ASSERT_TRUE(makeFloorMaterial(128, first));
    ASSERT_TRUE(makeFloorMaterial(128, second));
    EXPECT_EQ(first.base, second.base);
    EXPECT_EQ(first.normal, second.normal);
    EXPECT_EQ(first.orm, second.orm);
}

TEST(FloorMaterialSeams, SurfaceRepeatsExactlyOneImageOver) {
    for (double u = 0.013; u < 1; u += 0.0731) {
        for (double v = 0.029; v < 1; v += 0.0677) {
            FloorSurface here = sampleFloorSurface(u, v);
            for (auto [du, dv] : {std::pair{1.0, 0.0}, {0.0, 1.0}, {-1.0, -1.0}}) {
                FloorSurface there = sampleFloorSurface(u + du, v + dv);
                EXPECT_NEAR(here.heightMillimeters, there.heightMillimeters, 1e-3) << u << "," << v;
                EXPECT_NEAR(here.red, there.red, 1e-3) << u << "," << v;
                EXPECT_NEAR(here.blue, there.blue, 1e-3) << u << "," << v;
                EXPECT_NEAR(here.roughness, there.roughness, 1e-3) << u << "," << v;
            }
        }
    }
}

TEST(FloorMaterialSeams, HeightsJumpNoMoreAcrossTheEdgeThanInside) {
    expectSeamless(testHeights(), TestSize, 1, "height");
}

TEST(FloorMaterialSeams, ImagesJumpNoMoreAcrossTheEdgeThanInside) {
    expectSeamless(asFloats(testImages().base), TestSize, 3, "base");
    expectSeamless(asFloats(testImages().normal), TestSize, 3, "normal");
    expectSeamless(asFloats(testImages().orm), TestSize, 3, "orm");
}

TEST(FloorNormals, FlatHeightFieldPointsStraightUp) {
    std::vector<uint8_t> normal;
    encodeNormalMap(std::vector<float>(32 * 32, -1.5f), 32, 2.0, normal);
    for (size_t i = 0; i < normal.size(); i += 3) {
        ASSERT_EQ(normal[i], 128);
        ASSERT_EQ(normal[i + 1], 128);
        ASSERT_EQ(normal[i + 2], 255);
    }
}

TEST(FloorNormals, HeightRisingToTheRightTiltsNormalLeftByTheTrueSlope) {
    constexpr int Size = 64;
    constexpr double Amplitude = 3, Pixel = 2;
    std::vector<float> heights(Size * Size);
    for (int y = 0; y < Size; ++y)
        for (int x = 0; x < Size; ++x)
            heights[pixelIndex(Size, x, y)] = float(Amplitude * std::sin(2 * Pi * x / Size));
    std::vector<uint8_t> normal;
    encodeNormalMap(heights, Size, Pixel, normal);
    for (int x = 0; x < Size; ++x) {
        double slope = Amplitude * 2 * Pi / (Size * Pixel) * std::cos(2 * Pi * x / Size);
        const uint8_t* pixel = &normal[pixelIndex(Size, x, 7) * 3];
        EXPECT_NEAR(decodeNormal(pixel[0]), -slope / std::sqrt(1 + slope * slope), 0.012) << x;
        EXPECT_EQ(pixel[1], 128) << x;
        if (slope > 0.05) {
            EXPECT_LT(pixel[0], 128) << x;
        } else if (slope < -0.05) {
            EXPECT_GT(pixel[0], 128) << x;
        }
    }
}

TEST(FloorNormals, HeightRisingTowardImageTopTiltsNormalDown) {
    constexpr int Size = 64;
    std::vector<float> heights(Size * Size);
    // Where the sine falls with the row number, the height rises towards the top of the image.
    for (int y = 0; y < Size; ++y)
        for (int x = 0; x < Size; ++x) heights[pixelIndex(Size, x, y)] = float(2 * std::sin(2 * Pi * y / Size));
    std::vector<uint8_t> normal;
    encodeNormalMap(heights, Size, 2.0, normal);
    for (int y = 0; y < Size; ++y) {
        double risingUp = -std::cos(2 * Pi * y / Size);
        const uint8_t* pixel = &normal[pixelIndex(Size, 5, y) * 3];
        EXPECT_EQ(pixel[0], 128) << y;
        if (risingUp > 0.2) {
            EXPECT_LT(pixel[1], 128) << y;
        } else if (risingUp < -0.2) {
            EXPECT_GT(pixel[1], 128) << y;
        }
    }
}

TEST(FloorNormals, DifferencesWrapSoShiftingHeightsShiftsNormals) {
    constexpr int Size = 64, ShiftX = 5, ShiftY = 3;
    std::vector<float> heights = makeFloorHeightField(Size), shifted(heights.size());
    for (int y = 0; y < Size; ++y)
        for (int x = 0; x < Size; ++x)
            shifted[pixelIndex(Size, x + ShiftX, y + ShiftY)] = heights[pixelIndex(Size, x, y)];
    std::vector<uint8_t> normal, shiftedNormal;
    encodeNormalMap(heights, Size, pixelMillimeters(Size), normal);
    encodeNormalMap(shifted, Size, pixelMillimeters(Size), shiftedNormal);
    for (int y = 0; y < Size; ++y)
        for (int x = 0; x < Size; ++x)
            for (int channel = 0; channel < 3; ++channel)
                ASSERT_EQ(shiftedNormal[pixelIndex(Size, x + ShiftX, y + ShiftY) * 3 + channel],
                          normal[pixelIndex(Size, x, y) * 3 + channel]) << x << "," << y;
}

TEST(FloorNormals, FloorNormalsAreUnitLength) {
    const std::vector<uint8_t>& normal = testImages().normal;
    for (size_t i = 0; i < normal.size(); i += 3) {
        double x = decodeNormal(normal[i]), y = decodeNormal(normal[i + 1]), z = decodeNormal(normal[i + 2]);
        ASSERT_NEAR(std::sqrt(x * x + y * y + z * z), 1.0, 0.012) << i / 3;
        ASSERT_GT(z, 0) << i / 3;
    }
}

TEST(FloorNormals, FloorNormalsLeanAwayFromRisingHeight) {
    const std::vector<float>& heights = testHeights();
    const std::vector<uint8_t>& normal = testImages().normal;
    int steepPixels = 0;
    for (int y = 0; y < TestSize; ++y) {
        for (int x = 0; x < TestSize; ++x) {
            double risingRight = heights[pixelIndex(TestSize, x + 1, y)] - heights[pixelIndex(TestSize, x - 1, y)];
            double risingUp = heights[pixelIndex(TestSize, x, y - 1)] - heights[pixelIndex(TestSize, x, y + 1)];
            const uint8_t* pixel = &normal[pixelIndex(TestSize, x, y) * 3];
            if (std::abs(risingRight) > 0.5) {
                ++steepPixels;
                ASSERT_EQ(pixel[0] < 128, risingRight > 0) << x << "," << y;
            }
            if (std::abs(risingUp) > 0.5) {
                ASSERT_EQ(pixel[1] < 128, risingUp > 0) << x << "," << y;
            }
        }
    }
    EXPECT_GT(steepPixels, TestSize) << "tile bevels should give steep slopes along every grout line";
}

TEST(FloorNormals, TileTopsAreNearlyFlatWhileBevelsTilt) {
    const std::vector<uint8_t>& normal = testImages().normal;
    GroutAndTile pixels = classifyPixels(TestSize);
    double interiorUp = 0;
    for (size_t pixel : pixels.interior)
        interiorUp += decodeNormal(normal[pixel * 3 + 2]) / double(pixels.interior.size());
    EXPECT_GT(interiorUp, std::cos(5 * Pi / 180)) << "tile tops should only show a subtle surface texture";
    int tilted = 0;
    for (size_t i = 0; i < normal.size(); i += 3) tilted += decodeNormal(normal[i + 2]) < std::cos(12 * Pi / 180);
    // Each of the grout lines crossing the image has two bevels along its whole length.
    EXPECT_GT(tilted, 2 * FloorTilesAcross * 2 * TestSize) << "bevels should show in the normal map";
}

TEST(FloorGrout, GroutIsRecessedDarkerInOcclusionAndRougher) {
    const FloorMaterialImages& images = testImages();
    GroutAndTile pixels = classifyPixels(TestSize);
    ASSERT_GT(pixels.grout.size(), size_t(TestSize));
    ASSERT_GT(pixels.interior.size(), size_t(TestSize * TestSize / 4));
    EXPECT_LT(channelMean(images.orm, pixels.grout, 0), channelMean(images.orm, pixels.interior, 0) - 40);
    EXPECT_GT(channelMean(images.orm, pixels.grout, 1), channelMean(images.orm, pixels.interior, 1) + 60);
    double groutHeight = 0, interiorHeight = 0;
    for (size_t pixel : pixels.grout) groutHeight += testHeights()[pixel] / double(pixels.grout.size());
    for (size_t pixel : pixels.interior) interiorHeight += testHeights()[pixel] / double(pixels.interior.size());
    EXPECT_LT(groutHeight, interiorHeight - 1.0);
}

TEST(FloorGrout, OcclusionDarkensOnlyWhatLiesBelowItsSurroundings) {
    constexpr int Size = 32;
    std::vector<float> flat(Size * Size, 0.0f);
    for (float occlusion : makeCavityOcclusion(flat, Size, 2.0)) ASSERT_EQ(occlusion, 1.0f);
    // A raised band along the right edge: the left edge sits beside it only through the wrap.
    std::vector<float> band = flat;
    for (int y = 0; y < Size; ++y) {
        band[pixelIndex(Size, Size - 1, y)] = 2;
        band[pixelIndex(Size, Size - 2, y)] = 2;
    }
    std::vector<float> occlusion = makeCavityOcclusion(band, Size, 2.0);
    for (int y = 0; y < Size; ++y) {
        EXPECT_LT(occlusion[pixelIndex(Size, Size - 3, y)], 0.95f) << y;
        EXPECT_FLOAT_EQ(occlusion[pixelIndex(Size, 0, y)], occlusion[pixelIndex(Size, Size - 3, y)]) << y;
        EXPECT_EQ(occlusion[pixelIndex(Size, Size / 2, y)], 1.0f) << y;
    }
}

TEST(FloorSurfaceLook, MetalnessIsZeroEverywhere) {
    const std::vector<uint8_t>& orm = testImages().orm;
    for (size_t i = 2; i < orm.size(); i += 3) ASSERT_EQ(orm[i], 0) << i / 3;
}

TEST(FloorSurfaceLook, TilesDifferInColourAndPolish) {
    const FloorMaterialImages& images = testImages();
    std::vector<double> warmth, roughness;
    for (int row = 0; row < FloorTilesAcross; ++row) {
        for (int column = 0; column < FloorTilesAcross; ++column) {
            double u = (FloorTileOffsetMeters + (column + 0.5) * FloorTileMeters) / FloorImageMeters;
            double v = (FloorTileOffsetMeters + (row + 0.5) * FloorTileMeters) / FloorImageMeters;
            ASSERT_GT(floorTileEdgeDistance(u, v), 0.2) << "not a tile centre";
            // Medians over the tile's middle, so veins and pores do not decide the tile's tone.
            std::vector<int> redOverBlue, rough;
            int reach = TestSize / FloorTilesAcross / 4;
            for (int dy = -reach; dy <= reach; ++dy) {
                for (int dx = -reach; dx <= reach; ++dx) {
                    size_t pixel = pixelIndex(TestSize, int(u * TestSize) + dx, int(v * TestSize) + dy);
                    redOverBlue.push_back(images.base[pixel * 3] - images.base[pixel * 3 + 2]);
                    rough.push_back(images.orm[pixel * 3 + 1]);
                }
            }
            std::nth_element(redOverBlue.begin(), redOverBlue.begin() + redOverBlue.size() / 2, redOverBlue.end());
            std::nth_element(rough.begin(), rough.begin() + rough.size() / 2, rough.end());
            warmth.push_back(redOverBlue[redOverBlue.size() / 2]);
            roughness.push_back(rough[rough.size() / 2]);
        }
    }
    auto spread = [](const std::vector<double>& values) {
        return *std::max_element(values.begin(), values.end()) - *std::min_element(values.begin(), values.end());
    };
    EXPECT_GT(spread(warmth), 6) << "tiles should come in different tones";
    EXPECT_GT(spread(roughness), 8) << "tiles should differ in polish";
}
