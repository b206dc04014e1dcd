// Generates the floor's three material maps (base colour, normal, occlusion/roughness/metalness)
// for a seamless 2 m x 2 m tile of honed stone floor tiles with grout. Pure computation, no files:
// the floor material maker writes the results as JPEGs.
#pragma once

#include <cstdint>
#include <vector>

// One image covers FloorImageMeters square and repeats; image column x spans u in [x/size, (x+1)/size),
// row y spans v likewise, rows top to bottom. Image right is world +x, image up is world -z.
constexpr double FloorImageMeters = 2.0;
constexpr int FloorTilesAcross = 4;
constexpr double FloorTileMeters = FloorImageMeters / FloorTilesAcross;
constexpr double FloorGroutWidthMeters = 0.008;
// Half a tile, so a tile sits centred under the middle of the room and the image edges cut through
// tiles, which keeps the seam honest: tile texture, not just grout, has to wrap.
constexpr double FloorTileOffsetMeters = FloorTileMeters / 2;

struct FloorMaterialImages {
    int size = 0;
    std::vector<uint8_t> base;    // sRGB-encoded colour, RGB
    std::vector<uint8_t> normal;  // tangent-space normal, x right, y up, z out of the floor
    std::vector<uint8_t> orm;     // occlusion, roughness, metalness, linear
};

// Linear-light description of the floor at one point, before it is packed into bytes.
struct FloorSurface {
    float heightMillimeters = 0;  // 0 is the top of a tile, grout lies a few millimetres lower
    float red = 0, green = 0, blue = 0;
    float roughness = 0;
};

bool isFloorMaterialSize(int size);

// Distance in metres from (u, v) to the nearest tile edge: positive on a tile, negative in grout.
double floorTileEdgeDistance(double u, double v);

FloorSurface sampleFloorSurface(double u, double v);

// Heights in millimetres, one per pixel, averaged over the pixel's area where it holds fine detail.
std::vector<float> makeFloorHeightField(int size);

// Packs normals derived from a repeating height field, with finite differences that wrap around.
void encodeNormalMap(const std::vector<float>& heightsMillimeters, int size, double pixelMillimeters,
                     std::vector<uint8_t>& normal);

// Ambient occlusion from how far each pixel sits below the surrounding surface, 0..1.
std::vector<float> makeCavityOcclusion(const std::vector<float>& heightsMillimeters, int size,
                                       double pixelMillimeters);

bool makeFloorMaterial(int size, FloorMaterialImages& out);
