// The fades and the bitmap font on real pixels: Mesa's software renderer, offscreen.
#include <gtest/gtest.h>

#include <cstdlib>

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
        ASSERT_EQ(running, 1);
        fakeClockAdvanceOnRead(0);
        fakeClockSet(50000);
    }

    // A picture to fade: the clear colour (200, 100, 40) over the whole frame.
    static void drawPicture()
    {
        glClearColor(200 / 255.0f, 100 / 255.0f, 40 / 255.0f, 1.0f);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        glLoadIdentity();
        glBindTexture(GL_TEXTURE_2D, 0);
    }
};

TEST_F(OverlayPixels, FadeInGoesFromBlackThroughHalfToThePictureUnchanged)
{
    drawPicture();
    fadeIn(50000);
    Rgb p = framePixel(offscreenFrame(), 320, 240);
    EXPECT_EQ(p.r, 0);
    EXPECT_EQ(p.g, 0);
    EXPECT_EQ(p.b, 0);

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
    EXPECT_EQ(framePixel(offscreenFrame(), 0, 0).r, 0);
    EXPECT_EQ(framePixel(offscreenFrame(), 639, 479).r, 0);
}

// Bounding box of the pixels brighter than the background.
struct Box {
    int x0 = 10000, y0 = 10000, x1 = -1, y1 = -1;
};

Box litBox(const uint8_t* frame)
{
    Box b;
    for (int y = 0; y < 480; ++y) {
        for (int x = 0; x < 640; ++x) {
            if (framePixel(frame, x, y).g > 128) {
                b.x0 = std::min(b.x0, x);
                b.x1 = std::max(b.x1, x);
                b.y0 = std::min(b.y0, y);
                b.y1 = std::max(b.y1, y);
            }
        }
    }
    return b;
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

TEST_F(OverlayPixels, CapitalsOfTheFourteenPixelBoldFontStandTenToElevenPixelsOnTheBaseline)
{
    drawText("HEXAGON");
    Box b = litBox(offscreenFrame());
    ASSERT_GE(b.x1, 0) << "no glyph pixels lit";
    EXPECT_EQ(b.y0, 200);                 // sits on the baseline at the raster position
    EXPECT_GE(b.y1 - b.y0 + 1, 10);
    EXPECT_LE(b.y1 - b.y0 + 1, 11);
    EXPECT_GE(b.x0, 100);
    EXPECT_LE(b.x0, 102);
    // Seven bold capitals advance roughly 70 pixels.
    EXPECT_GT(b.x1 - b.x0, 55);
    EXPECT_LT(b.x1 - b.x0, 85);
}

TEST_F(OverlayPixels, DescendersGoBelowTheBaselineAndUnmappedBytesDrawNothing)
{
    drawText("gjpq");
    Box b = litBox(offscreenFrame());
    EXPECT_LT(b.y0, 200);
    drawText("\x81\x8d\x01");
    EXPECT_EQ(litPixelCount(offscreenFrame(), 20), 0);
    drawText("\x80");  // the euro sign of Windows-1252
    EXPECT_GT(litPixelCount(offscreenFrame(), 128), 10);
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
