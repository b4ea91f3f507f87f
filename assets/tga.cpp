// TGA images held in memory, decoded into R,G,B(,A) buffers and uploaded as GL textures.
// Every read is bounded by the length of the bytes handed in, and every declared size is
// checked against those bytes before anything is allocated: a file that lies about its size
// or ends early fails with 0 instead of reading past its end or reserving huge buffers.
#include "assets/tga.h"

#include <cstdlib>
#include <cstring>

static constexpr uint32_t TGA_HEADER_SIZE = 18;
static constexpr uint32_t TGA_TEMPLATE_SIZE = 12;
static constexpr uint32_t TGA_PACKET_MAX_PIXELS = 128;

static const unsigned char TGA_RAW_TEMPLATE[TGA_TEMPLATE_SIZE] = {0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0};
static const unsigned char TGA_RLE_TEMPLATE[TGA_TEMPLATE_SIZE] = {0, 0, 10, 0, 0, 0, 0, 0, 0, 0, 0, 0};

// Reads width, height and depth from header bytes 12 to 16 into the image (stored before they
// are tested) and returns the size of the pixel buffer in bytes, or 0 when the header is
// missing, a dimension is 0 or the depth is neither 24 nor 32 bits.
static uint64_t readTgaHeader(const unsigned char* bytes, uint32_t length, TgaImage* image)
{
    image->pixels = nullptr;
    if (bytes == nullptr || length < TGA_HEADER_SIZE) {
        return 0;
    }
    image->width = bytes[12] + 256 * bytes[13];
    image->height = bytes[14] + 256 * bytes[15];
    image->bitsPerPixel = bytes[16];
    if (image->width == 0 || image->height == 0) {
        return 0;
    }
    if (image->bitsPerPixel != 24 && image->bitsPerPixel != 32) {
        return 0;
    }
    return uint64_t(image->width) * uint64_t(image->bitsPerPixel / 8) * uint64_t(image->height);
}

// Decodes an uncompressed true-colour image: the pixels follow the header as B,G,R(,A).
int decodeTgaRaw(const unsigned char* bytes, uint32_t length, TgaImage* image)
{
    uint64_t size = readTgaHeader(bytes, length, image);
    if (size == 0 || size > uint64_t(length) - TGA_HEADER_SIZE) {
        return 0;
    }
    image->pixels = static_cast<unsigned char*>(std::malloc(size));
    if (image->pixels == nullptr) {
        return 0;
    }
    std::memcpy(image->pixels, bytes + TGA_HEADER_SIZE, size);
    uint32_t step = uint32_t(image->bitsPerPixel / 8);
    for (uint64_t i = 0; i < size; i += step) {
        unsigned char blue = image->pixels[i];
        image->pixels[i] = image->pixels[i + 2];
        image->pixels[i + 2] = blue;
    }
    return 1;
}

// Writes the run-length packets that start at offset 18 into the pixel buffer: true when they
// fill it exactly, false when a packet would write beyond the last pixel or the bytes end first.
static bool readTgaPackets(const unsigned char* bytes, uint32_t length, TgaImage* image, uint64_t total)
{
    uint32_t step = uint32_t(image->bitsPerPixel / 8);
    uint64_t read = TGA_HEADER_SIZE;
    uint64_t n = 0;
    while (n < total) {
        if (read >= length) {
            return false;
        }
        unsigned char header = bytes[read++];
        uint32_t count = (header & 0x7Fu) + 1;
        bool run = (header & 0x80u) != 0;
        const unsigned char* pixel = bytes + read;
        if (run) {
            if (step > length - read) {
                return false;
            }
            read += step;
        }
        for (uint32_t i = 0; i < count; ++i) {
            if (n == total) {
                return false;
            }
            if (!run) {
                if (step > length - read) {
                    return false;
                }
                pixel = bytes + read;
                read += step;
            }
            unsigned char* out = image->pixels + n * step;
            out[0] = pixel[2];
            out[1] = pixel[1];
            out[2] = pixel[0];
            if (step == 4) {
                out[3] = pixel[3];
            }
            ++n;
        }
    }
    return true;
}

// Decodes a run-length true-colour image. Packets run through the pixels regardless of rows;
// nothing after the packet that completes the picture is read.
int decodeTgaRle(const unsigned char* bytes, uint32_t length, TgaImage* image)
{
    uint64_t size = readTgaHeader(bytes, length, image);
    if (size == 0) {
        return 0;
    }
    // The densest packing is one header and one pixel for every 128 pixels.
    uint64_t total = uint64_t(image->width) * uint64_t(image->height);
    uint64_t packets = (total + TGA_PACKET_MAX_PIXELS - 1) / TGA_PACKET_MAX_PIXELS;
    if (packets * uint64_t(1 + image->bitsPerPixel / 8) > uint64_t(length) - TGA_HEADER_SIZE) {
        return 0;
    }
    image->pixels = static_cast<unsigned char*>(std::malloc(size));
    if (image->pixels == nullptr) {
        return 0;
    }
    if (!readTgaPackets(bytes, length, image, total)) {
        std::free(image->pixels);
        image->pixels = nullptr;
        return 0;
    }
    return 1;
}

// Makes a texture from a TGA file: the header chooses the decoder, the decoded pixels go up
// as GL_RGB or GL_RGBA with `filter` for both filters, and texture 0 is left bound. No texture
// name is generated unless the picture decodes.
GLuint loadTextureFromTga(const unsigned char* bytes, uint32_t length, GLint filter)
{
    if (bytes == nullptr) {
        return 0;
    }
    TgaImage* image = static_cast<TgaImage*>(std::calloc(1, sizeof(TgaImage)));
    if (image == nullptr) {
        return 0;
    }
    int decoded = 0;
    if (length >= TGA_TEMPLATE_SIZE && std::memcmp(bytes, TGA_RAW_TEMPLATE, TGA_TEMPLATE_SIZE) == 0) {
        decoded = decodeTgaRaw(bytes, length, image);
    } else if (length >= TGA_TEMPLATE_SIZE && std::memcmp(bytes, TGA_RLE_TEMPLATE, TGA_TEMPLATE_SIZE) == 0) {
        decoded = decodeTgaRle(bytes, length, image);
    }
    if (!decoded) {
        std::free(image);
        return 0;
    }

    GLuint name = 0;
    glGenTextures(1, &name);
    glBindTexture(GL_TEXTURE_2D, name);
    GLenum format = image->bitsPerPixel == 24 ? GL_RGB : GL_RGBA;
    // Rows of a 24-bit picture need not fill whole 4-byte words; GL would then read padding
    // past the buffer, so such a picture goes up byte-aligned and the alignment is put back.
    bool unaligned = (uint64_t(image->width) * uint64_t(image->bitsPerPixel / 8)) % 4 != 0;
    GLint alignment = 4;
    if (unaligned) {
        glGetIntegerv(GL_UNPACK_ALIGNMENT, &alignment);
        glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    }
    glTexImage2D(GL_TEXTURE_2D, 0, GLint(format), image->width, image->height, 0, format, GL_UNSIGNED_BYTE,
                 image->pixels);
    if (unaligned) {
        glPixelStorei(GL_UNPACK_ALIGNMENT, alignment);
    }
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, filter);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, filter);
    glBindTexture(GL_TEXTURE_2D, 0);

    std::free(image->pixels);
    std::free(image);
    return name;
}
