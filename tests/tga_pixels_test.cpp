// Loaded textures on real pixels: textured quads drawn by Mesa's software renderer read back
// the colours the TGA files hold, in the places their rows and columns put them.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

#include "assets/resources.h"
#include "assets/tga.h"
#include "platform/offscreen/window_offscreen.h"
#include "shell/gl.h"
#include "shell/window.h"
#include "tests/support/pixels.h"

namespace {

using Bytes = std::vector<unsigned char>;

Bytes tgaFile(int type, int width, int height, const Bytes& data)
{
    Bytes file(18 + data.size(), 0);
    file[2] = static_cast<unsigned char>(type);
    file[12] = static_cast<unsigned char>(width);
    file[14] = static_cast<unsigned char>(height);
    file[16] = 24;
    std::copy(data.begin(), data.end(), file.begin() + 18);
    return file;
}

GLuint load(const Bytes& file, GLint filter)
{
    return loadTextureFromTga(file.data(), static_cast<uint32_t>(file.size()), filter);
}

GLuint loadEmbedded(const char* name, GLint filter)
{
    ResourceBlob* blob = findResourceBlob(name, "TEXTURE");
    if (blob == nullptr) {
        return 0;
    }
    GLuint texture = loadTextureFromTga(blob->data, blob->size, filter);
    std::free(blob);
    return texture;
}

// The texture over the screen rectangle (x, y)-(x + w, y + h), s and t running 0 to `repeat`.
void drawQuad(GLuint texture, float x, float y, float w, float h, float repeat = 1)
{
    glBindTexture(GL_TEXTURE_2D, texture);
    glColor4f(1, 1, 1, 1);
    glBegin(GL_QUADS);
    glTexCoord2f(0, 0);
    glVertex2f(x, y);
    glTexCoord2f(repeat, 0);
    glVertex2f(x + w, y);
    glTexCoord2f(repeat, repeat);
    glVertex2f(x + w, y + h);
    glTexCoord2f(0, repeat);
    glVertex2f(x, y + h);
    glEnd();
    glBindTexture(GL_TEXTURE_2D, 0);
}

void expectPixel(int x, int y, int r, int g, int b)
{
    Rgb p = framePixel(offscreenFrame(), x, y);
    EXPECT_NEAR(p.r, r, 1) << "at " << x << "," << y;
    EXPECT_NEAR(p.g, g, 1) << "at " << x << "," << y;
    EXPECT_NEAR(p.b, b, 1) << "at " << x << "," << y;
}

class TgaPixels : public ::testing::Test {
protected:
    static void SetUpTestSuite() { createDemoWindow(); }
    void SetUp() override
    {
        ASSERT_EQ(windowCore.running, 1);
        glMatrixMode(GL_PROJECTION);
        glLoadIdentity();
        glOrtho(0, 640, 0, 480, -1, 1);
        glMatrixMode(GL_MODELVIEW);
        glLoadIdentity();
        glDisable(GL_DEPTH_TEST);
        glClearColor(0, 0, 0, 1);
        glClear(GL_COLOR_BUFFER_BIT);
    }
};

TEST_F(TgaPixels, FirstStoredRowLiesAtTheBottomAndPacketsCrossRows)
{
    // 2 x 2: a raw packet of blue, green and red (as B,G,R) crossing rows, then a white run.
    Bytes packets = {0x02, 255, 0, 0, 0, 255, 0, 0, 0, 255, 0x80, 255, 255, 255};
    GLuint texture = load(tgaFile(10, 2, 2, packets), GL_NEAREST);
    ASSERT_NE(texture, 0u);
    drawQuad(texture, 100, 100, 200, 200);
    expectPixel(150, 150, 0, 0, 255);
    expectPixel(250, 150, 0, 255, 0);
    expectPixel(150, 250, 255, 0, 0);
    expectPixel(250, 250, 255, 255, 255);
}

TEST_F(TgaPixels, OddWidthRgbRowsAreNotSkewed)
{
    // 3 x 3 at 24 bits: rows of 9 bytes, which a 4-byte unpack alignment would shear.
    Bytes data;
    for (int i = 0; i < 9; ++i) {
        data.insert(data.end(), {static_cast<unsigned char>(20 * i), static_cast<unsigned char>(200 - 20 * i),
                                 static_cast<unsigned char>(10 + 25 * i)});
    }
    GLuint texture = load(tgaFile(2, 3, 3, data), GL_NEAREST);
    ASSERT_NE(texture, 0u);
    drawQuad(texture, 0, 0, 300, 300);
    for (int i = 0; i < 9; ++i) {
        expectPixel(50 + 100 * (i % 3), 50 + 100 * (i / 3), 10 + 25 * i, 200 - 20 * i, 20 * i);
    }
}

TEST_F(TgaPixels, EmbeddedTunnelTexelsReadBackOneToOne)
{
    GLuint texture = loadEmbedded("TUNNEL", GL_NEAREST);
    ASSERT_NE(texture, 0u);
    ResourceBlob* blob = findResourceBlob("TUNNEL", "TEXTURE");
    TgaImage image{};
    ASSERT_EQ(decodeTgaRle(blob->data, blob->size, &image), 1);
    std::free(blob);
    drawQuad(texture, 64, 64, 64, 64);
    const uint8_t* frame = offscreenFrame();
    int mismatches = 0;
    for (int y = 0; y < 64; ++y) {
        for (int x = 0; x < 64; ++x) {
            const unsigned char* texel = image.pixels + (y * 64 + x) * 4;
            const uint8_t* pixel = frame + ((64 + y) * 640 + 64 + x) * 4;
            mismatches += std::abs(pixel[0] - texel[0]) > 1 || std::abs(pixel[1] - texel[1]) > 1 ||
                          std::abs(pixel[2] - texel[2]) > 1;
        }
    }
    std::free(image.pixels);
    EXPECT_EQ(mismatches, 0);
}

TEST_F(TgaPixels, ThePicturesShowRedNoiseDarkRedStoneAndAPaleGlow)
{
    GLuint reddish = loadEmbedded("REDDISH", GL_LINEAR);
    GLuint stoneTexture = loadEmbedded("TUNNEL", GL_LINEAR);
    GLuint ball = loadEmbedded("BALL", GL_LINEAR);
    ASSERT_NE(reddish, 0u);
    ASSERT_NE(stoneTexture, 0u);
    ASSERT_NE(ball, 0u);
    drawQuad(reddish, 20, 120, 256, 256, 2);
    drawQuad(stoneTexture, 300, 120, 256, 256, 2);
    drawQuad(ball, 150, 10, 96, 96);
    drawQuad(ball, 380, 180, 128, 128);  // over the stone: the glow brightens it
    const char* dir = std::getenv("YARVIK_SHOTS");
    if (dir != nullptr) {
        EXPECT_TRUE(writeFramePng(offscreenFrame(), std::string(dir) + "/textures.png"));
    }

    Rgb red = framePixel(offscreenFrame(), 100, 300);
    EXPECT_GE(red.r, 95);
    EXPECT_LT(red.g, 60);
    EXPECT_LT(red.b, 60);
    Rgb stone = framePixel(offscreenFrame(), 320, 140);
    EXPECT_GT(stone.r, stone.g + 10);
    EXPECT_LT(stone.r, 180);
    // The glow over black: alpha about 150 of a near-white colour in the middle, black at
    // the corners of its square.
    Rgb glow = framePixel(offscreenFrame(), 198, 58);
    EXPECT_NEAR(glow.r, 150, 15);
    EXPECT_NEAR(glow.g, 150, 15);
    EXPECT_GT(glow.b, 110);
    Rgb corner = framePixel(offscreenFrame(), 152, 12);
    EXPECT_EQ(corner.r + corner.g + corner.b, 0);
    Rgb lit = framePixel(offscreenFrame(), 444, 244);
    EXPECT_GT(lit.r + lit.g + lit.b, stone.r + stone.g + stone.b + 100);
}

}  // namespace
