// The fades and the bitmap font on real pixels: Mesa's software renderer, offscreen.
#include <gtest/gtest.h>

#include <ft2build.h>
#include FT_FREETYPE_H

#include <cmath>
#include <cstdlib>
#include <vector>

#include "assets/resources.h"
#include "shell/gl.h"
#include "shell/overlay.h"
#include "shell/window.h"
#include "shell/window_offscreen.h"
#include "tests/support/fake_clock.h"
#include "tests/support/pixels.h"

namespace {

class OverlayPixels : public ::testing::Test {
protected:
    static void SetUpTestSuite() { createDemoWindow(); }
    void SetUp() override
    {
        ASSERT_EQ(demoRunning, 1);
        fakeClockAdvanceOnRead(0);
        fakeClockSet(50000);
    }

    // A picture to fade: the clear colour (200, 100, 40) over the whole frame, and white text
    // at the overlay's depth, where the scroller and the sparks are drawn.
    static void drawPicture()
    {
        glClearColor(200 / 255.0f, 100 / 255.0f, 40 / 255.0f, 1.0f);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        glLoadIdentity();
        glBindTexture(GL_TEXTURE_2D, 0);
        pushOverlayProjection(640, 480);
        glLoadIdentity();
        glColor4f(1, 1, 1, 1);
        drawBitmapText("%s", 100.0f, 200.0f, "HEXAGON");
        popOverlayProjection();
    }
};

TEST_F(OverlayPixels, FadeInGoesFromBlackThroughHalfToThePictureUnchanged)
{
    drawPicture();
    fadeIn(50000);
    EXPECT_EQ(litPixelCount(offscreenFrame(), 0), 0) << "the picture and its text are black";
    Rgb p;

    drawPicture();
    fakeClockSet(50500);
    fadeIn(50000);
    p = framePixel(offscreenFrame(), 5, 470);
    EXPECT_NEAR(p.r, 100, 1);
    EXPECT_NEAR(p.g, 50, 1);
    EXPECT_NEAR(p.b, 20, 1);

    for (uint32_t t : {51000u, 53000u}) {
        drawPicture();
        fakeClockSet(t);
        fadeIn(50000);
        p = framePixel(offscreenFrame(), 639, 0);
        EXPECT_EQ(p.r, 200);
        EXPECT_EQ(p.g, 100);
        EXPECT_EQ(p.b, 40);
    }
}

TEST_F(OverlayPixels, FadeOutDarkensToFullBlackAtOneSecond)
{
    drawPicture();
    EXPECT_EQ(fadeOut(50000), 0);
    EXPECT_EQ(framePixel(offscreenFrame(), 320, 240).r, 200);
    drawPicture();
    fakeClockSet(50750);
    EXPECT_EQ(fadeOut(50000), 0);
    EXPECT_NEAR(framePixel(offscreenFrame(), 320, 240).r, 50, 1);
    drawPicture();
    fakeClockSet(51000);
    EXPECT_EQ(fadeOut(50000), 0);
    EXPECT_EQ(litPixelCount(offscreenFrame(), 0), 0) << "the picture and its text are black";
}

void drawText(const char* text)
{
    glClearColor(0, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    pushOverlayProjection(640, 480);
    glLoadIdentity();
    glColor4f(1, 1, 1, 1);
    drawBitmapText("%s", 100.0f, 200.0f, text);
    popOverlayProjection();
}

// Text drawn at (100, 200) is, pixel for pixel, the rasteriser's own glyphs of the embedded
// font at 14 pixels: upright, on the baseline, at their bearings, each advanced by its width.
TEST_F(OverlayPixels, TextIsTheRasterisersGlyphsUprightOnTheBaselineAtTheirBearings)
{
    const char* text = "HEXAGON Rgj|Wyq";
    ResourceBlob* blob = findResourceBlob("SANSBOLD", "FONT");
    ASSERT_NE(blob, nullptr);
    FT_Library library = nullptr;
    FT_Face face = nullptr;
    ASSERT_EQ(FT_Init_FreeType(&library), 0);
    ASSERT_EQ(FT_New_Memory_Face(library, blob->data, static_cast<FT_Long>(blob->size), 0, &face), 0);
    ASSERT_EQ(FT_Set_Pixel_Sizes(face, 0, 14), 0);
    std::vector<bool> expected(640 * 480);
    int penX = 100;
    for (const char* c = text; *c != '\0'; ++c) {
        ASSERT_EQ(FT_Load_Char(face, static_cast<FT_ULong>(*c), FT_LOAD_RENDER | FT_LOAD_TARGET_MONO), 0);
        const FT_GlyphSlot g = face->glyph;
        for (int row = 0; row < static_cast<int>(g->bitmap.rows); ++row) {
            for (int col = 0; col < static_cast<int>(g->bitmap.width); ++col) {
                if (g->bitmap.buffer[row * g->bitmap.pitch + col / 8] & (0x80 >> (col % 8))) {
                    expected[(200 + g->bitmap_top - 1 - row) * 640 + penX + g->bitmap_left + col] = true;
                }
            }
        }
        penX += static_cast<int>(g->advance.x / 64);
    }
    FT_Done_Face(face);
    FT_Done_FreeType(library);
    std::free(blob);

    drawText(text);
    const uint8_t* frame = offscreenFrame();
    int lit = 0;
    int wrong = 0;
    for (int y = 0; y < 480; ++y) {
        for (int x = 0; x < 640; ++x) {
            const bool on = framePixel(frame, x, y).g > 128;
            lit += on;
            wrong += on != expected[y * 640 + x];
        }
    }
    EXPECT_GT(lit, 300);
    EXPECT_EQ(wrong, 0);
}

TEST_F(OverlayPixels, UnmappedBytesDrawNothingAndTheEuroSignDraws)
{
    drawText("\x81\x8d\x01");
    EXPECT_EQ(litPixelCount(offscreenFrame(), 20), 0);
    drawText("\x80");  // the euro sign of Windows-1252
    EXPECT_GT(litPixelCount(offscreenFrame(), 128), 10);
}

// The standing view is 45 degrees high and 1.33 times as wide: points aimed from the eye at
// the centres of three pixels light exactly those pixels.
TEST_F(OverlayPixels, StandingViewIsFortyFiveDegreesHighAndOnePointThreeThreeTimesAsWide)
{
    glClearColor(0, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glLoadIdentity();
    glBindTexture(GL_TEXTURE_2D, 0);
    const double halfHeight = 10.0 * std::tan(22.5 * M_PI / 180.0);  // at depth 10
    const int targets[3][2] = {{320, 456}, {608, 240}, {20, 30}};
    glColor4f(1, 1, 1, 1);
    glBegin(GL_POINTS);
    for (const auto& t : targets) {
        glVertex3d((t[0] + 0.5 - 320.0) / 320.0 * 1.33 * halfHeight, (t[1] + 0.5 - 240.0) / 240.0 * halfHeight, -10.0);
    }
    glEnd();
    const uint8_t* frame = offscreenFrame();
    EXPECT_EQ(litPixelCount(frame, 128), 3);
    for (const auto& t : targets) {
        EXPECT_EQ(framePixel(frame, t[0], t[1]).g, 255) << t[0] << ", " << t[1];
    }
}

TEST_F(OverlayPixels, ScreenshotOfTextReadsAsBoldSans)
{
    glClearColor(0, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    pushOverlayProjection(640, 480);
    glLoadIdentity();
    const char* lines[] = {".:: Yarvik ::.", "The quick brown fox jumps over the lazy dog 0123456789",
                           "Feel free to press ESC to quit", "caf\xe9 \x80 5 \x96 na\xefve \x93quoted\x94"};
    for (int i = 0; i < 4; ++i) {
        glColor4f(1, 1, 1, 1.0f - 0.15f * i);
        drawBitmapText("%s", 40.0f, 300.0f - 20.0f * i, lines[i]);
    }
    popOverlayProjection();
    const char* dir = std::getenv("YARVIK_SHOTS");
    if (dir != nullptr) {
        EXPECT_TRUE(writeFramePng(offscreenFrame(), std::string(dir) + "/font.png"));
    }
    EXPECT_GT(litPixelCount(offscreenFrame(), 128), 1500);
}

}  // namespace
