// TGA images in memory turned into GL textures: uncompressed (type 2) and run-length
// (type 10) true colour, 24 or 32 bits.
#pragma once

#include <cstdint>

#include "shell/gl.h"

struct TgaImage {
    unsigned char* pixels;  // width x height pixels, R,G,B(,A), rows in stored order
    int32_t bitsPerPixel;
    int32_t width;
    int32_t height;
};

// A new texture name made from the TGA file of `length` bytes, or 0 on failure. `filter` is
// used for both the minifying and magnifying filters. Texture object 0 is bound afterwards.
GLuint loadTextureFromTga(const unsigned char* bytes, uint32_t length, GLint filter);

// Fill `image` from a file of the uncompressed (type 2) or run-length (type 10) kind: 1 on
// success, with `pixels` the caller's to free; 0 on failure, with `pixels` null. No read goes
// past `length` bytes, and a file that ends before its last pixel fails.
int decodeTgaRaw(const unsigned char* bytes, uint32_t length, TgaImage* image);
int decodeTgaRle(const unsigned char* bytes, uint32_t length, TgaImage* image);
