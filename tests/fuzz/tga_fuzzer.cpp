// libFuzzer target for the TGA decoders and the loader. Besides the sanitizers' findings it
// stops on a broken promise: a failed load that generated a texture name, a load that left a
// texture bound, a decode that claims success without a full pixel buffer or fails without
// releasing it.
#include <cstdlib>

#include "assets/tga.h"
#include "tests/fuzz/gl_stub.h"

static void checkDecode(int decoded, const TgaImage& image)
{
    if (!decoded) {
        if (image.pixels != nullptr) {
            std::abort();
        }
        return;
    }
    if (image.pixels == nullptr || image.width < 1 || image.height < 1 ||
        (image.bitsPerPixel != 24 && image.bitsPerPixel != 32)) {
        std::abort();
    }
    size_t size = size_t(image.width) * size_t(image.height) * size_t(image.bitsPerPixel / 8);
    unsigned sum = 0;
    for (size_t i = 0; i < size; ++i) {
        sum += image.pixels[i];
    }
    glStub.checksum += sum;
    std::free(image.pixels);
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size > UINT32_MAX) {
        return 0;
    }
    uint32_t length = uint32_t(size);
    uint32_t generated = glStub.generated;
    uint32_t uploads = glStub.uploads;
    GLuint name = loadTextureFromTga(data, length, GL_LINEAR);
    if (name == 0 && (glStub.generated != generated || glStub.uploads != uploads)) {
        std::abort();
    }
    if (name != 0 && (glStub.generated != generated + 1 || glStub.uploads != uploads + 1 || name != glStub.generated)) {
        std::abort();
    }
    if (glStub.bound != 0 || glStub.alignment != 4) {
        std::abort();
    }

    TgaImage image{};
    checkDecode(decodeTgaRaw(data, length, &image), image);
    image = TgaImage{};
    checkDecode(decodeTgaRle(data, length, &image), image);
    return 0;
}
