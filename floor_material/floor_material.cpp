// Procedural honed-stone tile floor: tile layout, repeating gradient noise, the height field and the
// colour/roughness that go with it, then normals and occlusion derived from that one height field.
// Everything is deterministic (fixed seeds, integer hashes) so the maps come out the same every run.
#include "floor_material/floor_material.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr uint32_t FloorSeed = 0x5a17e5u;

// Sizes in millimetres: the height field is physical, so normals come out at true slopes.
constexpr double GroutWidthMillimeters = FloorGroutWidthMeters * 1000;
constexpr double TileCornerRadiusMillimeters = 3.0;
constexpr double BevelRadiusMillimeters = 4.5;
constexpr double GroutDepthMillimeters = 2.2;
constexpr double ChipMillimeters = 0.5;
constexpr double PoreCellMillimeters = 6.25;
constexpr float PoreChance = 0.07f;

// Occlusion: how strongly being below the local average surface darkens, per millimetre.
constexpr double CavityRadiusMillimeters = 10.0;
constexpr float CavityStrengthPerMillimeter = 0.3f;
constexpr float LowestOcclusion = 0.35f;

struct Color {
    float red, green, blue;
};

Color operator*(Color color, float scale) { return {color.red * scale, color.green * scale, color.blue * scale}; }
Color operator+(Color a, Color b) { return {a.red + b.red, a.green + b.green, a.blue + b.blue}; }
Color mix(Color a, Color b, float amount) { return a * (1 - amount) + b * amount; }

float srgbToLinear(float value) {
    return value <= 0.04045f ? value / 12.92f : std::pow((value + 0.055f) / 1.055f, 2.4f);
}

float linearToSrgb(float value) {
    value = std::clamp(value, 0.0f, 1.0f);
    return value <= 0.0031308f ? value * 12.92f : 1.055f * std::pow(value, 1 / 2.4f) - 0.055f;
}

Color srgbColor(int red, int green, int blue) {
    return {srgbToLinear(red / 255.0f), srgbToLinear(green / 255.0f), srgbToLinear(blue / 255.0f)};
}

float smoothStep(float edge0, float edge1, float x) {
    float amount = std::clamp((x - edge0) / (edge1 - edge0), 0.0f, 1.0f);
    return amount * amount * (3 - 2 * amount);
}

uint8_t unitToByte(float value) {
    return uint8_t(std::lround(std::clamp(value, 0.0f, 1.0f) * 255.0f));
}

int wrapIndex(int index, int period) {
    int wrapped = index % period;
    return wrapped < 0 ? wrapped + period : wrapped;
}

// "lowbias32" integer mixer: cheap, well distributed, identical on every platform.
uint32_t mixBits(uint32_t x) {
    x ^= x >> 16;
    x *= 0x7feb352du;
    x ^= x >> 15;
    x *= 0x846ca68bu;
    x ^= x >> 16;
    return x;
}

uint32_t hashCell(int x, int y, uint32_t seed) {
    return mixBits(uint32_t(x) * 0x8da6b343u ^ mixBits(uint32_t(y) * 0xd8163841u ^ seed));
}

float unitFromHash(uint32_t hash) { return float(hash >> 8) * (1.0f / 16777216.0f); }

// Gradient noise on a lattice that repeats every `period` cells in both directions; about -1..1.
float periodicGradientNoise(double x, double y, int period, uint32_t seed) {
    static constexpr float Diagonal = 0.70710678f;
    static constexpr float GradientX[8] = {1, -1, 0, 0, Diagonal, -Diagonal, Diagonal, -Diagonal};
    static constexpr float GradientY[8] = {0, 0, 1, -1, Diagonal, Diagonal, -Diagonal, -Diagonal};
    double cellX = std::floor(x), cellY = std::floor(y);
    float fractionX = float(x - cellX), fractionY = float(y - cellY);
    int left = wrapIndex(int(cellX), period), top = wrapIndex(int(cellY), period);
    int right = left + 1 == period ? 0 : left + 1, bottom = top + 1 == period ? 0 : top + 1;
    uint32_t topRow = mixBits(uint32_t(top) * 0xd8163841u ^ seed);
    uint32_t bottomRow = mixBits(uint32_t(bottom) * 0xd8163841u ^ seed);
    auto corner = [&](int cornerX, uint32_t row, float dx, float dy) {
        uint32_t hash = mixBits(uint32_t(cornerX) * 0x8da6b343u ^ row) & 7;
        return GradientX[hash] * dx + GradientY[hash] * dy;
    };
    float topLeft = corner(left, topRow, fractionX, fractionY);
    float topRight = corner(right, topRow, fractionX - 1, fractionY);
    float bottomLeft = corner(left, bottomRow, fractionX, fractionY - 1);
    float bottomRight = corner(right, bottomRow, fractionX - 1, fractionY - 1);
    // Quintic fade keeps the noise's slope continuous across cells, which the normal map would show.
    auto fade = [](float t) { return t * t * t * (t * (t * 6 - 15) + 10); };
    float blendX = fade(fractionX), blendY = fade(fractionY);
    float upper = topLeft + (topRight - topLeft) * blendX;
    float lower = bottomLeft + (bottomRight - bottomLeft) * blendX;
    return (upper + (lower - upper) * blendY) * 1.41421356f;
}

// Octaves of gradient noise over image coordinates (u, v in 0..1 per image), repeating per image.
float periodicFractalNoise(double u, double v, int period, int octaves, uint32_t seed) {
    float sum = 0, amplitude = 1, total = 0;
    for (int octave = 0; octave < octaves; ++octave) {
        sum += amplitude * periodicGradientNoise(u * period, v * period, period, seed + uint32_t(octave));
        total += amplitude;
        amplitude *= 0.5f;
        period *= 2;
    }
    return sum / total;
}

// Noise private to one tile, in tile-local millimetres; no need to repeat, so a huge period.
float tileFractalNoise(double xMillimeters, double yMillimeters, double featureMillimeters, int octaves,
                       uint32_t seed) {
    constexpr int NeverRepeats = 1 << 20;
    float sum = 0, amplitude = 1, total = 0;
    double scale = 1 / featureMillimeters;
    for (int octave = 0; octave < octaves; ++octave) {
        sum += amplitude * periodicGradientNoise(xMillimeters * scale + 1000, yMillimeters * scale + 1000,
                                                 NeverRepeats, seed + uint32_t(octave));
        total += amplitude;
        amplitude *= 0.5f;
        scale *= 2;
    }
    return sum / total;
}

constexpr int poreCellsAcross() { return int(FloorImageMeters * 1000 / PoreCellMillimeters + 0.5); }

struct TilePoint {
    int column = 0, row = 0;
    double localX = 0, localY = 0;  // millimetres from the tile centre, x right, y down the image
    double edgeDistance = 0;        // millimetres to the tile edge, negative in grout
};

double roundedSquareInsideDistance(double x, double y, double halfSide, double cornerRadius) {
    double beyondX = std::abs(x) - (halfSide - cornerRadius);
    double beyondY = std::abs(y) - (halfSide - cornerRadius);
    double outside = std::hypot(std::max(beyondX, 0.0), std::max(beyondY, 0.0));
    double inside = std::min(std::max(beyondX, beyondY), 0.0);
    return -(outside + inside - cornerRadius);
}

TilePoint locateTile(double u, double v) {
    constexpr double TileMillimeters = FloorTileMeters * 1000;
    auto locateAlongAxis = [](double imageCoordinate, int& index, double& local) {
        double millimeters = imageCoordinate * FloorImageMeters * 1000 - FloorTileOffsetMeters * 1000;
        double tile = std::floor(millimeters / TileMillimeters);
        local = millimeters - (tile + 0.5) * TileMillimeters;
        index = wrapIndex(int(tile), FloorTilesAcross);
    };
    TilePoint point;
    locateAlongAxis(u, point.column, point.localX);
    locateAlongAxis(v, point.row, point.localY);
    point.edgeDistance = roundedSquareInsideDistance(point.localX, point.localY,
                                                     (TileMillimeters - GroutWidthMillimeters) / 2,
                                                     TileCornerRadiusMillimeters);
    return point;
}

uint32_t poreCellHash(int cellX, int cellY) {
    constexpr int CellsAcross = poreCellsAcross();
    return hashCell(wrapIndex(cellX, CellsAcross), wrapIndex(cellY, CellsAcross), FloorSeed + 101);
}

bool cellHasPore(int cellX, int cellY) { return unitFromHash(poreCellHash(cellX, cellY)) <= PoreChance; }

// Sparse small pits, as in honed limestone: one chance per cell of a round hole; returns 0..1 depth.
float poreDepth(double u, double v) {
    constexpr int CellsAcross = poreCellsAcross();
    double x = u * CellsAcross, y = v * CellsAcross;
    double cellX = std::floor(x), cellY = std::floor(y);
    if (!cellHasPore(int(cellX), int(cellY))) return 0;
    uint32_t hash = poreCellHash(int(cellX), int(cellY));
    float radius = 0.10f + 0.15f * unitFromHash(mixBits(hash + 1));  // in cells
    float centerX = radius + (1 - 2 * radius) * unitFromHash(mixBits(hash + 2));
    float centerY = radius + (1 - 2 * radius) * unitFromHash(mixBits(hash + 3));
    float distance = float(std::hypot(x - cellX - centerX, y - cellY - centerY));
    return 1 - smoothStep(radius * 0.5f, radius, distance);
}

struct TileLook {
    Color color;
    float roughness;
    float veinStrength;
};

TileLook tileLook(int column, int row) {
    static const Color Palette[4] = {srgbColor(205, 195, 178), srgbColor(196, 189, 176),
                                     srgbColor(205, 193, 173), srgbColor(188, 180, 166)};
    uint32_t hash = hashCell(column, row, FloorSeed + 7);
    TileLook look;
    look.color = Palette[hash & 3] * (0.95f + 0.10f * unitFromHash(mixBits(hash + 1)));
    look.roughness = 0.40f + 0.12f * unitFromHash(mixBits(hash + 2));
    look.veinStrength = 0.2f + 0.8f * unitFromHash(mixBits(hash + 3));
    return look;
}

FloorSurface groutSurface(double u, double v, double edgeDistance) {
    static const Color GroutColor = srgbColor(118, 112, 104);
    float sand = periodicFractalNoise(u, v, 512, 2, FloorSeed + 31);
    float stain = periodicFractalNoise(u, v, 24, 3, FloorSeed + 32);
    float towardCenter = smoothStep(0, float(GroutWidthMillimeters / 2), float(-edgeDistance));
    FloorSurface surface;
    surface.heightMillimeters = float(-GroutDepthMillimeters - 0.3 * towardCenter + 0.12 * sand);
    Color color = GroutColor * (1 + 0.12f * sand + 0.10f * stain) * (0.85f + 0.15f * towardCenter);
    surface.red = color.red, surface.green = color.green, surface.blue = color.blue;
    surface.roughness = 0.88f + 0.06f * sand;
    return surface;
}

FloorSurface tileSurface(double u, double v, const TilePoint& tile, double edgeDistance) {
    TileLook look = tileLook(tile.column, tile.row);
    uint32_t tileSeed = hashCell(tile.column, tile.row, FloorSeed + 11);

    // Veins: ridges of domain-warped noise stretched along a per-tile direction, each tile cut from
    // a different part of the stone.
    float angle = 6.2831853f * unitFromHash(mixBits(tileSeed + 1));
    double along = (tile.localX * std::cos(angle) + tile.localY * std::sin(angle)) * 0.45;
    double across = -tile.localX * std::sin(angle) + tile.localY * std::cos(angle);
    double warpAlong = 50 * tileFractalNoise(along, across, 160, 2, tileSeed + 20);
    double warpAcross = 50 * tileFractalNoise(along, across, 160, 2, tileSeed + 30);
    float ridge = 1 - std::abs(tileFractalNoise(along + warpAlong, across + warpAcross, 200, 4, tileSeed + 40));
    float vein = look.veinStrength * (0.8f * std::pow(ridge, 30.0f) + 0.15f * std::pow(ridge, 5.0f));
    float mottle = tileFractalNoise(tile.localX, tile.localY, 90, 4, tileSeed + 50);
    float grain = periodicFractalNoise(u, v, 600, 2, FloorSeed + 60);
    float pore = poreDepth(u, v);
    float wear = smoothStep(-0.1f, 0.5f, periodicFractalNoise(u, v, 3, 3, FloorSeed + 70));
    float texture = periodicFractalNoise(u, v, 64, 3, FloorSeed + 80);

    FloorSurface surface;
    float bevel = 0;
    double height = 0;
    if (edgeDistance < BevelRadiusMillimeters) {
        double inset = BevelRadiusMillimeters - edgeDistance;
        height = -(BevelRadiusMillimeters -
                   std::sqrt(std::max(0.0, BevelRadiusMillimeters * BevelRadiusMillimeters - inset * inset)));
        bevel = float(inset / BevelRadiusMillimeters);
    }
    height += 0.12 * texture + 0.03 * grain - 0.35 * pore;
    surface.heightMillimeters = float(height);

    static const Color VeinColor = srgbColor(150, 146, 140);
    Color color = look.color * (1 + 0.07f * mottle + 0.035f * grain);
    color = mix(color, VeinColor, std::min(0.7f, vein));
    color = color * (1 - 0.35f * pore) * (1 - 0.10f * bevel);
    surface.red = color.red, surface.green = color.green, surface.blue = color.blue;

    float roughness = look.roughness * (1 - 0.45f * wear) + 0.03f * grain + 0.06f * vein;
    roughness += (0.72f - roughness) * std::max(pore, 0.6f * bevel);
    surface.roughness = std::clamp(roughness, 0.05f, 1.0f);
    return surface;
}

// Tile and grout each describe their own surface; the higher one is what shows.
FloorSurface sampleSurface(double u, double v) {
    TilePoint tile = locateTile(u, v);
    // Slightly uneven edges so the joints look laid by hand rather than drawn.
    double chipped = tile.edgeDistance + ChipMillimeters * periodicFractalNoise(u, v, 256, 2, FloorSeed + 90);
    // Half way up the bevel the tile already stands clear of the grout, whatever the noise does.
    if (chipped >= BevelRadiusMillimeters / 2) return tileSurface(u, v, tile, chipped);
    FloorSurface grout = groutSurface(u, v, tile.edgeDistance);
    if (chipped < 0) return grout;
    FloorSurface stone = tileSurface(u, v, tile, chipped);
    return stone.heightMillimeters >= grout.heightMillimeters ? stone : grout;
}

// A pixel needs several samples only where it holds detail smaller than itself: a tile edge or a
// pore. Everywhere else one sample looks the same and costs a fraction.
bool needsSupersampling(double u, double v, double pixelMillimeters) {
    constexpr int CellsAcross = poreCellsAcross();
    double reach = pixelMillimeters * 0.75 + ChipMillimeters;
    double edgeDistance = locateTile(u, v).edgeDistance;
    if (edgeDistance > -reach && edgeDistance < BevelRadiusMillimeters + reach) return true;
    double halfPixel = 0.5 * pixelMillimeters / (FloorImageMeters * 1000);
    int firstX = int(std::floor((u - halfPixel) * CellsAcross));
    int lastX = int(std::floor((u + halfPixel) * CellsAcross));
    int firstY = int(std::floor((v - halfPixel) * CellsAcross));
    int lastY = int(std::floor((v + halfPixel) * CellsAcross));
    for (int cellY = firstY; cellY <= lastY; ++cellY)
        for (int cellX = firstX; cellX <= lastX; ++cellX)
            if (cellHasPore(cellX, cellY)) return true;
    return false;
}

// Averages several samples per pixel where needed so thin grout lines and pores do not alias.
std::vector<FloorSurface> sampleSurfaceImage(int size) {
    int samplesAcross = std::clamp(2048 / size, 1, 3);
    double pixelMillimeters = FloorImageMeters * 1000 / size;
    std::vector<FloorSurface> pixels(size_t(size) * size);
    for (int y = 0; y < size; ++y) {
        for (int x = 0; x < size; ++x) {
            double centerU = (x + 0.5) / size, centerV = (y + 0.5) / size;
            FloorSurface& pixel = pixels[size_t(y) * size + x];
            if (samplesAcross == 1 || !needsSupersampling(centerU, centerV, pixelMillimeters)) {
                pixel = sampleSurface(centerU, centerV);
                continue;
            }
            double step = 1.0 / (double(size) * samplesAcross);
            float weight = 1.0f / float(samplesAcross * samplesAcross);
            for (int sampleY = 0; sampleY < samplesAcross; ++sampleY) {
                for (int sampleX = 0; sampleX < samplesAcross; ++sampleX) {
                    double u = (x * samplesAcross + sampleX + 0.5) * step;
                    double v = (y * samplesAcross + sampleY + 0.5) * step;
                    FloorSurface sample = sampleSurface(u, v);
                    pixel.heightMillimeters += sample.heightMillimeters * weight;
                    pixel.red += sample.red * weight;
                    pixel.green += sample.green * weight;
                    pixel.blue += sample.blue * weight;
                    pixel.roughness += sample.roughness * weight;
                }
            }
        }
    }
    return pixels;
}

// Box blur with wrap-around along rows then columns, using running sums.
std::vector<float> wrappedBoxBlur(const std::vector<float>& values, int size, int radius) {
    std::vector<float> rows(values.size()), result(values.size());
    float scale = 1.0f / float(2 * radius + 1);
    for (int pass = 0; pass < 2; ++pass) {
        const std::vector<float>& source = pass == 0 ? values : rows;
        std::vector<float>& target = pass == 0 ? rows : result;
        auto at = [&](int line, int position) -> size_t {
            position = wrapIndex(position, size);
            return pass == 0 ? size_t(line) * size + position : size_t(position) * size + line;
        };
        for (int line = 0; line < size; ++line) {
            double sum = 0;
            for (int offset = -radius; offset <= radius; ++offset) sum += source[at(line, offset)];
            for (int position = 0; position < size; ++position) {
                target[at(line, position)] = float(sum) * scale;
                sum += source[at(line, position + radius + 1)] - source[at(line, position - radius)];
            }
        }
    }
    return result;
}

}  // namespace

bool isFloorMaterialSize(int size) {
    return size >= 16 && size <= 4096 && (size & (size - 1)) == 0;
}

double floorTileEdgeDistance(double u, double v) { return locateTile(u, v).edgeDistance / 1000; }

FloorSurface sampleFloorSurface(double u, double v) { return sampleSurface(u, v); }

std::vector<float> makeFloorHeightField(int size) {
    std::vector<float> heights;
    if (!isFloorMaterialSize(size)) return heights;
    for (const FloorSurface& pixel : sampleSurfaceImage(size)) heights.push_back(pixel.heightMillimeters);
    return heights;
}

void encodeNormalMap(const std::vector<float>& heightsMillimeters, int size, double pixelMillimeters,
                     std::vector<uint8_t>& normal) {
    normal.assign(size_t(size) * size * 3, 0);
    auto height = [&](int x, int y) {
        return double(heightsMillimeters[size_t(wrapIndex(y, size)) * size + wrapIndex(x, size)]);
    };
    for (int y = 0; y < size; ++y) {
        for (int x = 0; x < size; ++x) {
            double slopeRight = (height(x + 1, y) - height(x - 1, y)) / (2 * pixelMillimeters);
            double slopeUp = (height(x, y - 1) - height(x, y + 1)) / (2 * pixelMillimeters);
            double nx = -slopeRight, ny = -slopeUp, nz = 1;
            double length = std::sqrt(nx * nx + ny * ny + nz * nz);
            uint8_t* out = &normal[(size_t(y) * size + x) * 3];
            out[0] = unitToByte(float(nx / length * 0.5 + 0.5));
            out[1] = unitToByte(float(ny / length * 0.5 + 0.5));
            out[2] = unitToByte(float(nz / length * 0.5 + 0.5));
        }
    }
}

std::vector<float> makeCavityOcclusion(const std::vector<float>& heightsMillimeters, int size,
                                       double pixelMillimeters) {
    int radius = std::max(1, int(std::lround(CavityRadiusMillimeters / pixelMillimeters)));
    std::vector<float> surroundings = wrappedBoxBlur(heightsMillimeters, size, radius);
    std::vector<float> occlusion(heightsMillimeters.size());
    for (size_t i = 0; i < occlusion.size(); ++i) {
        float below = std::max(0.0f, surroundings[i] - heightsMillimeters[i]);
        occlusion[i] = std::max(LowestOcclusion, 1 - CavityStrengthPerMillimeter * below);
    }
    return occlusion;
}

bool makeFloorMaterial(int size, FloorMaterialImages& out) {
    if (!isFloorMaterialSize(size)) return false;
    double pixelMillimeters = FloorImageMeters * 1000 / size;
    std::vector<FloorSurface> pixels = sampleSurfaceImage(size);
    std::vector<float> heights(pixels.size());
    for (size_t i = 0; i < pixels.size(); ++i) heights[i] = pixels[i].heightMillimeters;
    std::vector<float> occlusion = makeCavityOcclusion(heights, size, pixelMillimeters);

    out.size = size;
    encodeNormalMap(heights, size, pixelMillimeters, out.normal);
    out.base.resize(pixels.size() * 3);
    out.orm.resize(pixels.size() * 3);
    for (size_t i = 0; i < pixels.size(); ++i) {
        out.base[i * 3 + 0] = unitToByte(linearToSrgb(pixels[i].red));
        out.base[i * 3 + 1] = unitToByte(linearToSrgb(pixels[i].green));
        out.base[i * 3 + 2] = unitToByte(linearToSrgb(pixels[i].blue));
        out.orm[i * 3 + 0] = unitToByte(occlusion[i]);
        out.orm[i * 3 + 1] = unitToByte(pixels[i].roughness);
        out.orm[i * 3 + 2] = 0;  // stone and grout are dielectrics
    }
    return true;
}
