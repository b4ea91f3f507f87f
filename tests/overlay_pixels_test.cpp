// The fades, the bitmap font and the picture's place in outputs of any size, on real pixels:
// Mesa's software renderer, offscreen.
#include <gtest/gtest.h>

#include <ft2build.h>
#include FT_FREETYPE_H

#include <cmath>
#include <cstdlib>
#include <string>
#include <vector>

#include "assets/resources.h"
#include "platform/offscreen/window_offscreen.h"
#include "shell/gl.h"
#include "shell/gl_state.h"
#include "shell/overlay.h"
#include "shell/window.h"
#include "tests/fakes/fake_clock.h"
#include "tests/support/pixels.h"

namespace {

class OverlayPixels : public ::testing::Test {
protected:
    static void SetUpTestSuite() { createDemoWindow(); }
    void SetUp() override
    {
        ASSERT_EQ(windowCore.running, 1);
        fakeClockAdvanceOnRead(0);
        fakeClockSet(50000);
    }
    void TearDown() override
    {
        const WindowCoreState& window = windowCore;
        if (window.picture.outputWidth != SCREEN_WIDTH || window.running == 0 || window.request.samples != 0) {
            reopenWindow(SCREEN_WIDTH, SCREEN_HEIGHT);
        }
    }

    // A picture to fade: the clear colour (200, 100, 40) over the whole frame, and white text
    // at the overlay's depth, where the scroller and the sparks are drawn.
    static void drawPicture()
    {
        glClearColor(200 / 255.0f, 100 / 255.0f, 40 / 255.0f, 1.0f);
        clearFrame();
        glLoadIdentity();
        glBindTexture(GL_TEXTURE_2D, 0);
        pushOverlayProjection(SCREEN_WIDTH, SCREEN_HEIGHT);
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

// Outputs of 4:3, 16:9, 5:4, 3:4 and odd sizes, and where the picture lands in each: the
// largest centred 4:3 area, as x, y, width, height.
const int OUTPUTS[][6] = {{640, 480, 0, 0, 640, 480},     {1280, 960, 0, 0, 1280, 960}, {1920, 1080, 240, 0, 1440, 1080},
                          {1280, 1024, 0, 32, 1280, 960}, {641, 479, 1, 0, 639, 479},   {480, 640, 0, 140, 480, 360}};

// The clear colour, the fades and text reach exactly the picture area, half-faded to its
// edges; around it, whatever the scene's clear colour and text past its edge, all is black.
TEST_F(OverlayPixels, PictureFillsTheLargestCentredFourThreeAreaAndTheBarsStayBlack)
{
    for (const auto& c : OUTPUTS) {
        reopenWindow(c[0], c[1]);
        for (int pass = 0; pass < 2; ++pass) {
            drawPicture();
            pushOverlayProjection(SCREEN_WIDTH, SCREEN_HEIGHT);
            drawBitmapText("%s", 590.0f, 440.0f, "WWWWWW");  // past the right edge
            popOverlayProjection();
            fakeClockSet(50500);
            fadeIn(50000);
        }
        const uint8_t* frame = offscreenFrame();
        int inside = 0;
        int litOutside = 0;
        for (int y = 0; y < c[1]; ++y) {
            for (int x = 0; x < c[0]; ++x) {
                const Rgb p = framePixel(frame, x, y);
                if (x >= c[2] && x < c[2] + c[4] && y >= c[3] && y < c[3] + c[5]) {
                    inside += std::abs(p.r - 100) <= 1 && std::abs(p.g - 50) <= 1 && std::abs(p.b - 20) <= 1;
                } else {
                    litOutside += p.r + p.g + p.b > 0;
                }
            }
        }
        EXPECT_GT(inside, c[4] * c[5] * 99 / 100) << c[0] << "x" << c[1] << ": the faded picture, but for text";
        for (int corner = 0; corner < 4; ++corner) {  // its outermost rows and columns included
            const Rgb p = framePixel(frame, c[2] + corner % 2 * (c[4] - 1), c[3] + corner / 2 * (c[5] - 1));
            EXPECT_TRUE(std::abs(p.r - 100) <= 1 && std::abs(p.g - 50) <= 1 && std::abs(p.b - 20) <= 1)
                << c[0] << "x" << c[1] << ", corner " << corner << ": " << p.r << " " << p.g << " " << p.b;
        }
        EXPECT_EQ(litOutside, 0) << c[0] << "x" << c[1];
    }
}

// Four samples per pixel, which Mesa's software renderer offers: a slanted edge passes
// through shades, where one sample gives only black and white. More than the GL has are refused.
TEST_F(OverlayPixels, SamplesSmoothEdgesWhereOfferedAndTooManyAreRefused)
{
    for (int samples : {0, 4}) {
        reopenWindow(SCREEN_WIDTH, SCREEN_HEIGHT, samples);
        glClearColor(0, 0, 0, 1);
        clearFrame();
        pushOverlayProjection(SCREEN_WIDTH, SCREEN_HEIGHT);
        glLoadIdentity();
        glColor4f(1, 1, 1, 1);
        glBegin(GL_TRIANGLES);
        glVertex2f(100, 100);
        glVertex2f(500, 130);
        glVertex2f(100, 400);
        glEnd();
        popOverlayProjection();
        const uint8_t* frame = offscreenFrame();
        int shades = 0;
        for (int i = 0; i < SCREEN_WIDTH * SCREEN_HEIGHT; ++i) {
            shades += frame[i * 4] > 0 && frame[i * 4] < 255;
        }
        EXPECT_TRUE(samples == 0 ? shades == 0 : shades > 300) << samples << " samples: " << shades << " shades";
    }
    ::testing::internal::CaptureStderr();
    reopenWindow(SCREEN_WIDTH, SCREEN_HEIGHT, 64);
    EXPECT_NE(::testing::internal::GetCapturedStderr().find("64 samples"), std::string::npos);
    EXPECT_EQ(windowCore.running, 0);
}

// Outputs at whole scales, where each unit of the 640x480 grid is whole pixels.
struct ScaledOutput { int width, height, scale, originY; };  // originY: the picture's lower edge
const ScaledOutput WHOLE_SCALES[] = {{640, 480, 1, 0}, {1920, 1440, 3, 0}, {1280, 1024, 2, 32}};

void drawText(const char* text)
{
    glClearColor(0, 0, 0, 1);
    clearFrame();
    pushOverlayProjection(SCREEN_WIDTH, SCREEN_HEIGHT);
    glLoadIdentity();
    glColor4f(1, 1, 1, 1);
    drawBitmapText("%s", 100.0f, 200.0f, text);
    popOverlayProjection();
}

// Text drawn at (100, 200) is, pixel for pixel, the rasteriser's own glyphs of the embedded
// font at 14 pixels times the scale: upright, on the baseline, at their bearings, each advanced
// by its width; at 3x every glyph is three times as tall and wide, not a blown-up bitmap.
TEST_F(OverlayPixels, TextIsTheRasterisersGlyphsUprightOnTheBaselineAtTheirBearings)
{
    const char* text = "HEXAGON Rgj|Wyq";
    for (const ScaledOutput& at : WHOLE_SCALES) {
        if (at.width != SCREEN_WIDTH || at.height != SCREEN_HEIGHT) {
            reopenWindow(at.width, at.height);
        }
        ResourceBlob* blob = findResourceBlob("SANSBOLD", "FONT");
        ASSERT_NE(blob, nullptr);
        FT_Library library = nullptr;
        FT_Face face = nullptr;
        ASSERT_EQ(FT_Init_FreeType(&library), 0);
        ASSERT_EQ(FT_New_Memory_Face(library, blob->data, static_cast<FT_Long>(blob->size), 0, &face), 0);
        ASSERT_EQ(FT_Set_Pixel_Sizes(face, 0, 14 * at.scale), 0);
        std::vector<bool> expected(static_cast<size_t>(at.width) * at.height);
        int penX = 100 * at.scale;
        const int baseline = at.originY + 200 * at.scale;
        for (const char* c = text; *c != '\0'; ++c) {
            ASSERT_EQ(FT_Load_Char(face, static_cast<FT_ULong>(*c), FT_LOAD_RENDER | FT_LOAD_TARGET_MONO), 0);
            const FT_GlyphSlot g = face->glyph;
            for (int row = 0; row < static_cast<int>(g->bitmap.rows); ++row) {
                for (int col = 0; col < static_cast<int>(g->bitmap.width); ++col) {
                    if (g->bitmap.buffer[row * g->bitmap.pitch + col / 8] & (0x80 >> (col % 8))) {
                        expected[(baseline + g->bitmap_top - 1 - row) * at.width + penX + g->bitmap_left + col] = true;
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
        for (int y = 0; y < at.height; ++y) {
            for (int x = 0; x < at.width; ++x) {
                const bool on = framePixel(frame, x, y).g > 128;
                lit += on;
                wrong += on != expected[y * at.width + x];
            }
        }
        EXPECT_GT(lit, 300 * at.scale * at.scale) << at.scale << "x";
        EXPECT_EQ(wrong, 0) << at.scale << "x";
    }
}

TEST_F(OverlayPixels, UnmappedBytesDrawNothingAndTheEuroSignDraws)
{
    drawText("\x81\x8d\x01");
    EXPECT_EQ(litPixelCount(offscreenFrame(), 20), 0);
    drawText("\x80");  // the euro sign of Windows-1252
    EXPECT_GT(litPixelCount(offscreenFrame(), 128), 10);
}

// The standing view is 45 degrees high and 1.33 times as wide over the picture area: points
// aimed from the eye at the centres of three cells of the 640x480 grid light exactly those
// cells, which at scale s are s x s pixels; points and lines are s pixels wide.
TEST_F(OverlayPixels, StandingViewIsFortyFiveDegreesHighAndOnePointThreeThreeTimesAsWide)
{
    for (const ScaledOutput& at : WHOLE_SCALES) {
        if (at.width != SCREEN_WIDTH || at.height != SCREEN_HEIGHT) {
            reopenWindow(at.width, at.height);
        }
        glClearColor(0, 0, 0, 1);
        clearFrame();
        glLoadIdentity();
        glBindTexture(GL_TEXTURE_2D, 0);
        const double halfHeight = 10.0 * std::tan(22.5 * M_PI / 180.0);  // at depth 10
        const int targets[3][2] = {{320, 456}, {608, 240}, {20, 30}};
        glColor4f(1, 1, 1, 1);
        glBegin(GL_POINTS);
        for (const auto& t : targets) {
            glVertex3f(static_cast<float>((t[0] + 0.5 - 320.0) / 320.0 * 1.33 * halfHeight),
                       static_cast<float>((t[1] + 0.5 - 240.0) / 240.0 * halfHeight), -10.0f);
        }
        glEnd();
        const uint8_t* frame = offscreenFrame();
        EXPECT_EQ(litPixelCount(frame, 128), 3 * at.scale * at.scale) << at.scale << "x";
        for (const auto& t : targets) {
            for (int d = 0; d < at.scale * at.scale; ++d) {
                const int x = t[0] * at.scale + d % at.scale;
                const int y = at.originY + t[1] * at.scale + d / at.scale;
                EXPECT_EQ(framePixel(frame, x, y).g, 255) << at.scale << "x: " << x << ", " << y;
            }
        }
        pushOverlayProjection(SCREEN_WIDTH, SCREEN_HEIGHT);
        glLoadIdentity();
        glBegin(GL_LINES);
        glVertex2f(400.5f, 100.0f);
        glVertex2f(400.5f, 120.0f);
        glEnd();
        popOverlayProjection();
        frame = offscreenFrame();
        int across = 0;
        for (int x = 390 * at.scale; x < 410 * at.scale; ++x) {
            across += framePixel(frame, x, at.originY + 110 * at.scale).g == 255;
        }
        EXPECT_EQ(across, at.scale) << "columns of a vertical line at " << at.scale << "x";
    }
}

TEST_F(OverlayPixels, ScreenshotOfTextReadsAsBoldSans)
{
    glClearColor(0, 0, 0, 1);
    clearFrame();
    pushOverlayProjection(SCREEN_WIDTH, SCREEN_HEIGHT);
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
