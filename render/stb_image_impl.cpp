// stb_image compiled once, with only its JPEG decoder: the floor maps are the only images read.
// Larger images than a compatibility-level device can hold as a texture are refused while decoding.
#define STB_IMAGE_IMPLEMENTATION
#define STBI_ONLY_JPEG
#define STBI_NO_STDIO
#define STBI_MAX_DIMENSIONS 4096
#include <stb/stb_image.h>
