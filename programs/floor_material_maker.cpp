// Build-time tool: writes the floor's base.jpg, normal.jpg and orm.jpg into a folder.
// Usage: floor_material_maker <output folder> [size]; silent on success, exit 1 with a message on failure.
#include "floor_material/floor_material.h"

#include <charconv>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <system_error>

#define STB_IMAGE_WRITE_IMPLEMENTATION
#include <stb/stb_image_write.h>

namespace {

constexpr int DefaultSize = 1024;
constexpr int JpegQuality = 90;

bool parseSize(const char* text, int& size) {
    const char* end = text + std::strlen(text);
    auto [stop, error] = std::from_chars(text, end, size);
    return error == std::errc() && stop == end;
}

bool writeJpeg(const std::filesystem::path& path, int size, const std::vector<uint8_t>& pixels) {
    if (stbi_write_jpg(path.string().c_str(), size, size, 3, pixels.data(), JpegQuality)) return true;
    std::fprintf(stderr, "floor_material_maker: cannot write %s\n", path.string().c_str());
    return false;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2 || argc > 3) {
        std::fprintf(stderr, "usage: floor_material_maker <output folder> [size]\n");
        return 1;
    }
    int size = DefaultSize;
    if (argc == 3 && (!parseSize(argv[2], size) || !isFloorMaterialSize(size))) {
        std::fprintf(stderr, "floor_material_maker: size must be a power of two from 16 to 4096, got %s\n",
                     argv[2]);
        return 1;
    }
    std::filesystem::path folder = argv[1];
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    if (error) {
        std::fprintf(stderr, "floor_material_maker: cannot create %s: %s\n", folder.string().c_str(),
                     error.message().c_str());
        return 1;
    }
    FloorMaterialImages images;
    if (!makeFloorMaterial(size, images)) {
        std::fprintf(stderr, "floor_material_maker: cannot make a %d pixel material\n", size);
        return 1;
    }
    // All three are attempted so one failure reports every unwritable file, and success needs all three.
    bool baseWritten = writeJpeg(folder / "base.jpg", size, images.base);
    bool normalWritten = writeJpeg(folder / "normal.jpg", size, images.normal);
    bool ormWritten = writeJpeg(folder / "orm.jpg", size, images.orm);
    return baseWritten && normalWritten && ormWritten ? 0 : 1;
}
