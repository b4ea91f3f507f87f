// TGA decoding and upload through the recorded GL: the header templates, both decoders, the
// upload calls, and files that are short, lying or hostile.
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "assets/tga.h"
#include "tests/fakes/gl_recorder.h"

namespace {

using Bytes = std::vector<unsigned char>;

Bytes tgaFile(int type, int width, int height, int depth, int descriptor, const Bytes& data)
{
    Bytes file(18 + data.size(), 0);
    file[2] = static_cast<unsigned char>(type);
    file[12] = static_cast<unsigned char>(width);
    file[13] = static_cast<unsigned char>(width >> 8);
    file[14] = static_cast<unsigned char>(height);
    file[15] = static_cast<unsigned char>(height >> 8);
    file[16] = static_cast<unsigned char>(depth);
    file[17] = static_cast<unsigned char>(descriptor);
    std::copy(data.begin(), data.end(), file.begin() + 18);
    return file;
}

GLuint load(const Bytes& file, GLint filter = GL_LINEAR)
{
    // An exactly sized copy, so that AddressSanitizer sees any read past the end.
    Bytes exact(file.begin(), file.end());
    return loadTextureFromTga(exact.data(), static_cast<uint32_t>(exact.size()), filter);
}

const GlTexture& texture(GLuint name) { return glrec.textures.at(name); }

// 2 x 2, 24 bits: a raw packet of three pixels crossing into the second row, then a run.
const Bytes CROSSING_ROWS = {0x02, 1, 2, 3, 4, 5, 6, 7, 8, 9, 0x80, 10, 11, 12};
const Bytes CROSSING_ROWS_RGB = {3, 2, 1, 6, 5, 4, 9, 8, 7, 12, 11, 10};

class Tga : public ::testing::Test {
protected:
    void SetUp() override { glRecorderReset(); }
};

TEST_F(Tga, AnyHeaderByteOffBothTemplatesFailsWithoutTouchingGl)
{
    Bytes good = tgaFile(10, 2, 2, 24, 0, CROSSING_ROWS);
    for (int byte = 0; byte < 12; ++byte) {
        Bytes bad = good;
        bad[byte] = byte == 2 ? 3 : 1;
        EXPECT_EQ(load(bad), 0u) << "byte " << byte;
    }
    Bytes yOrigin = good;
    yOrigin[10] = 64;
    EXPECT_EQ(load(yOrigin), 0u);
    EXPECT_EQ(loadTextureFromTga(nullptr, 100, GL_LINEAR), 0u);
    EXPECT_TRUE(glrec.calls.empty());
    EXPECT_NE(load(good), 0u);
}

TEST_F(Tga, ZeroSizeOrSixteenBitDepthFailsForBothTypesWithoutTouchingGl)
{
    Bytes data(64, 0x7F);
    for (int type : {2, 10}) {
        EXPECT_EQ(load(tgaFile(type, 0, 2, 24, 0, data)), 0u);
        EXPECT_EQ(load(tgaFile(type, 2, 0, 24, 0, data)), 0u);
        EXPECT_EQ(load(tgaFile(type, 2, 2, 16, 0, data)), 0u);
    }
    EXPECT_TRUE(glrec.calls.empty());
}

TEST_F(Tga, RawSwapsBlueAndRedAndUploadsRgbByteAligned)
{
    glPixelStorei(GL_UNPACK_ALIGNMENT, 8);
    glrec.calls.clear();
    GLuint name = load(tgaFile(2, 2, 1, 24, 0, {10, 20, 30, 40, 50, 60}));
    ASSERT_NE(name, 0u);
    EXPECT_EQ(texture(name).format, GLenum(GL_RGB));
    EXPECT_EQ(texture(name).internalFormat, GL_RGB);
    EXPECT_EQ(texture(name).pixels, (Bytes{30, 20, 10, 60, 50, 40}));
    // Rows of 6 bytes are not whole words: the upload must not read row padding.
    int upload = glFindCall("glTexImage2D");
    int store = glFindCall("glPixelStorei");
    ASSERT_GE(store, 0);
    EXPECT_LT(store, upload);
    EXPECT_EQ(glrec.calls[store].args, (std::vector<double>{GL_UNPACK_ALIGNMENT, 1}));
    EXPECT_EQ(glrec.unpackAlignment, 8) << "the caller's alignment is put back";
}

TEST_F(Tga, RawThirtyTwoBitKeepsAlphaInPlace)
{
    GLuint name = load(tgaFile(2, 1, 1, 32, 0, {1, 2, 3, 4}));
    EXPECT_EQ(texture(name).format, GLenum(GL_RGBA));
    EXPECT_EQ(texture(name).pixels, (Bytes{3, 2, 1, 4}));
}

TEST_F(Tga, UploadIsGenBindImageFiltersThenTextureZero)
{
    GLuint name = load(tgaFile(10, 4, 1, 32, 0, {0x83, 1, 2, 3, 4}), GL_NEAREST);
    ASSERT_EQ(name, 1u);
    EXPECT_EQ(glCallNames(), (std::vector<std::string>{"glGenTextures", "glBindTexture", "glTexImage2D",
                                                       "glTexParameteri", "glTexParameteri", "glBindTexture"}));
    EXPECT_EQ(glrec.calls[1].args, (std::vector<double>{GL_TEXTURE_2D, 1}));
    EXPECT_EQ(glrec.calls[2].args,
              (std::vector<double>{GL_TEXTURE_2D, 0, GL_RGBA, 4, 1, 0, GL_RGBA, GL_UNSIGNED_BYTE}));
    EXPECT_EQ(glrec.calls[3].args, (std::vector<double>{GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST}));
    EXPECT_EQ(glrec.calls[4].args, (std::vector<double>{GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST}));
    EXPECT_EQ(glrec.calls[5].args, (std::vector<double>{GL_TEXTURE_2D, 0}));
    EXPECT_EQ(texture(name).pixels, (Bytes{3, 2, 1, 4, 3, 2, 1, 4, 3, 2, 1, 4, 3, 2, 1, 4}));
}

TEST_F(Tga, EachLoadGetsItsOwnNameAndLeavesTextureZeroBound)
{
    Bytes file = tgaFile(10, 2, 2, 24, 0, CROSSING_ROWS);
    GLuint first = load(file);
    EXPECT_EQ(glrec.boundTexture, 0u);
    GLuint second = load(file);
    EXPECT_EQ(glrec.boundTexture, 0u);
    EXPECT_NE(first, 0u);
    EXPECT_NE(second, 0u);
    EXPECT_NE(first, second);
}

TEST_F(Tga, RlePacketsCrossRowsAndStopAtTheLastPixel)
{
    GLuint name = load(tgaFile(10, 2, 2, 24, 0, CROSSING_ROWS));
    EXPECT_EQ(texture(name).pixels, CROSSING_ROWS_RGB);

    Bytes trailing = CROSSING_ROWS;
    trailing.insert(trailing.end(), {0xFF, 0xFF, 0, 0, 0, 0, 0, 0, 0, 0});  // a footer-like tail
    Bytes footer = {'T', 'R', 'U', 'E', 'V', 'I', 'S', 'I', 'O', 'N', '-', 'X', 'F', 'I', 'L', 'E', '.', 0};
    trailing.insert(trailing.end(), footer.begin(), footer.end());
    EXPECT_EQ(texture(load(tgaFile(10, 2, 2, 24, 0, trailing))).pixels, CROSSING_ROWS_RGB);
}

TEST_F(Tga, DescriptorTopLeftOriginChangesNothing)
{
    GLuint bottomLeft = load(tgaFile(10, 2, 2, 24, 0x00, CROSSING_ROWS));
    GLuint topLeft = load(tgaFile(10, 2, 2, 24, 0x20, CROSSING_ROWS));
    EXPECT_EQ(texture(topLeft).pixels, texture(bottomLeft).pixels);
}

TEST_F(Tga, PacketWritingPastTheLastPixelFailsWithoutGeneratingAName)
{
    EXPECT_EQ(load(tgaFile(10, 2, 2, 24, 0, {0x84, 1, 2, 3})), 0u);
    EXPECT_EQ(load(tgaFile(10, 2, 2, 24, 0, {0x04, 1, 1, 1, 2, 2, 2, 3, 3, 3, 4, 4, 4, 5, 5, 5})), 0u);
    EXPECT_EQ(load(tgaFile(10, 2, 2, 24, 0, {0x82, 1, 2, 3, 0x81, 4, 5, 6})), 0u);
    EXPECT_TRUE(glrec.calls.empty());
}

TEST_F(Tga, EveryTruncationOfAValidFileFailsWithoutGeneratingAName)
{
    for (int type : {2, 10}) {
        Bytes file = type == 2 ? tgaFile(2, 2, 2, 24, 0, Bytes(12, 9)) : tgaFile(10, 2, 2, 24, 0, CROSSING_ROWS);
        ASSERT_NE(load(file), 0u);
        glRecorderReset();
        for (size_t cut = 0; cut < file.size(); ++cut) {
            EXPECT_EQ(load(Bytes(file.begin(), file.begin() + cut)), 0u) << "type " << type << " cut " << cut;
        }
        EXPECT_TRUE(glrec.calls.empty());
    }
}

TEST_F(Tga, JustEnoughBytesDecodeAndOneFewerFails)
{
    // 256 x 1 in two full run packets: the fewest bytes a run-length picture can have.
    Bytes runs = {0xFF, 1, 2, 3, 0xFF, 4, 5, 6};
    EXPECT_NE(load(tgaFile(10, 256, 1, 24, 0, runs)), 0u);
    runs.pop_back();
    EXPECT_EQ(load(tgaFile(10, 256, 1, 24, 0, runs)), 0u);
    EXPECT_NE(load(tgaFile(2, 3, 1, 32, 0, Bytes(12, 1))), 0u);
    EXPECT_EQ(load(tgaFile(2, 3, 1, 32, 0, Bytes(11, 1))), 0u);
}

TEST_F(Tga, HugeDeclaredSizesFailBeforeAnyAllocation)
{
    // 32768 x 32768 x 4 bytes wraps to 0 in 32 bits; 65535 x 65535 x 4 is 17 GB.
    for (int side : {32768, 65535}) {
        for (int type : {2, 10}) {
            TgaImage image{};
            Bytes file = tgaFile(type, side, side, 32, 0, {0xFF, 1, 2, 3, 4, 0xFF, 1, 2, 3, 4});
            int decoded = type == 2 ? decodeTgaRaw(file.data(), uint32_t(file.size()), &image)
                                    : decodeTgaRle(file.data(), uint32_t(file.size()), &image);
            EXPECT_EQ(decoded, 0);
            EXPECT_EQ(image.pixels, nullptr);
            EXPECT_EQ(image.width, side);
        }
    }
}

}  // namespace
