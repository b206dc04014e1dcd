// stb_image compiled once, with only its JPEG decoder: the floor maps are the only images read.
// Larger images than a compatibility-level device can hold as a texture are refused while decoding.
// Its buffers come zeroed: when a segment after the frame header is damaged, or the file ends
// before a scan, the decoder stops early and still returns an image, whose samples and
// coefficients no scan reached would otherwise be stale heap.
#include <cstdlib>
#define STBI_MALLOC(size) std::calloc(1, size)
#define STBI_REALLOC(block, size) std::realloc(block, size)
#define STBI_FREE(block) std::free(block)
#define STB_IMAGE_IMPLEMENTATION
#define STBI_ONLY_JPEG
#define STBI_NO_STDIO
#define STBI_MAX_DIMENSIONS 4096
#include <stb/stb_image.h>
