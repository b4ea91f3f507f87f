// The tunnel scene on real pixels (Mesa's software renderer, offscreen): the walls survive
// back-face culling from inside, the particle layer and the scroller light pixels where they
// should. With YARVIK_FRAME_DIR set, the scene's frames are also written there as PNGs.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <string>

#include "music/player.h"
#include "scenes/tunnel/particles.h"
#include "scenes/tunnel/scroller.h"
#include "scenes/tunnel/tunnel_scene.h"
#include "scenes/tunnel/tunnel_state.h"
#include "shell/gl.h"
#include "shell/overlay.h"
#include "shell/window.h"
#include "shell/window_offscreen.h"
#include "tests/support/fake_clock.h"
#include "tests/support/pixels.h"

namespace {

void resetScene()
{
    const GLuint wall = tunnel.tunnelTexture;
    const GLuint ball = tunnel.ballTexture;
    tunnel = TUNNEL_START_STATE;
    tunnel.tunnelTexture = wall;
    tunnel.ballTexture = ball;
    particlesInit();
    pen.angle = PEN_START_ANGLE;
    scrollPosition = SCROLL_START;
    beatFlag.store(0);
}

void clearFrame()
{
    glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glLoadIdentity();
}

// One frame as the main loop draws it, without the fade.
const uint8_t* drawSceneFrame()
{
    clearFrame();
    tunnelSceneDraw();
    glBindTexture(GL_TEXTURE_2D, 0);
    return offscreenFrame();
}

// Only the screen-space layer on black, as tunnelSceneDraw sets it up.
void drawOverlayLayer(void (*draw)())
{
    clearFrame();
    glBindTexture(GL_TEXTURE_2D, 0);
    pushOverlayProjection(640, 480);
    glLoadIdentity();
    glColor3f(1.0f, 1.0f, 1.0f);
    draw();
    popOverlayProjection();
}

void saveFrameIfAsked(const uint8_t* rgba, const char* name)
{
    const char* dir = std::getenv("YARVIK_FRAME_DIR");
    if (dir != nullptr) {
        EXPECT_TRUE(writeFramePng(rgba, std::string(dir) + "/" + name + ".png"));
    }
}

int litInRegion(const uint8_t* rgba, int x0, int y0, int x1, int y1, int threshold)
{
    int n = 0;
    for (int y = y0; y <= y1; ++y) {
        for (int x = x0; x <= x1; ++x) {
            const Rgb p = framePixel(rgba, x, y);
            n += std::max({p.r, p.g, p.b}) > threshold;
        }
    }
    return n;
}

// Pixels of exactly the dots' grey (128, 128, 128); sparks are never that colour.
int dotGreyInRegion(const uint8_t* rgba, int x0, int y0, int x1, int y1)
{
    int n = 0;
    for (int y = y0; y <= y1; ++y) {
        for (int x = x0; x <= x1; ++x) {
            const Rgb p = framePixel(rgba, x, y);
            n += p.r == 128 && p.g == 128 && p.b == 128;
        }
    }
    return n;
}

int brightestInRegion(const uint8_t* rgba, int x0, int y0, int x1, int y1)
{
    int best = 0;
    for (int y = y0; y <= y1; ++y) {
        for (int x = x0; x <= x1; ++x) {
            const Rgb p = framePixel(rgba, x, y);
            best = std::max({best, p.r, p.g, p.b});
        }
    }
    return best;
}

class TunnelPixels : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        createDemoWindow();
        testing::internal::CaptureStdout();
        tunnelSceneInit();
        testing::internal::GetCapturedStdout();
    }
    void SetUp() override
    {
        ASSERT_EQ(running, 1);
        fakeClockAdvanceOnRead(0);
        fakeClockSet(50000);
        resetScene();
    }
    void TearDown() override
    {
        glFrontFace(GL_CCW);
        resetScene();
    }
};

TEST_F(TunnelPixels, WallIsSeenFromInsideAndWouldVanishWithTheOppositeWinding)
{
    clearFrame();
    drawTunnel();
    const uint8_t* frame = offscreenFrame();
    const int litFromInside = litPixelCount(frame, 24);
    saveFrameIfAsked(frame, "tunnel_start");
    EXPECT_GT(litFromInside, 640 * 480 / 5);

    glFrontFace(GL_CW);
    clearFrame();
    drawTunnel();
    const int litWithOppositeWinding = litPixelCount(offscreenFrame(), 24);
    EXPECT_LT(litWithOppositeWinding * 20, litFromInside) << "the walls face away from the viewer";
}

TEST_F(TunnelPixels, ParticleLayerDrawsGreyDotsLiftedBy32AndBrightSparks)
{
    for (int i = 0; i < 120; ++i) {
        particlesStep();
    }
    drawOverlayLayer(particlesDraw);
    const uint8_t* frame = offscreenFrame();
    const int dotX = static_cast<int>(dotPool[0].x);
    const int dotY = static_cast<int>(dotPool[0].y + 32.0f);
    bool greyFound = false;
    for (int dy = -1; dy <= 1; ++dy) {
        for (int dx = -1; dx <= 1; ++dx) {
            const Rgb p = framePixel(frame, dotX + dx, dotY + dy);
            greyFound = greyFound || (p.r == 128 && p.g == 128 && p.b == 128);
        }
    }
    EXPECT_TRUE(greyFound) << "dot 0 near (" << dotX << ", " << dotY << ")";
    // The figure (x 256..384, y 176..304) lifted by 32: no dot below y = 208.
    EXPECT_GT(dotGreyInRegion(frame, 250, 205, 390, 340), 300);
    EXPECT_EQ(dotGreyInRegion(frame, 0, 0, 639, 205), 0);
    // Young sparks are white or yellow: red at full strength somewhere.
    EXPECT_GE(brightestInRegion(frame, 200, 150, 440, 400), 250);
}

TEST_F(TunnelPixels, ScrollerRowsAreLitAndFadeTowardsTheBandEdge)
{
    scrollPosition = 96.0f;  // row 0 at full opacity, row 4 at y = 40 with opacity 0.5625
    drawOverlayLayer(scrollerDraw);
    const uint8_t* frame = offscreenFrame();
    saveFrameIfAsked(frame, "tunnel_scroller_band");
    const int row0 = brightestInRegion(frame, 200, 94, 440, 110);
    const int row4 = brightestInRegion(frame, 100, 36, 540, 48);  // below row 3's descenders
    EXPECT_GT(litInRegion(frame, 200, 94, 440, 110, 60), 40);
    EXPECT_GE(row0, 250);
    EXPECT_NEAR(row4, 143, 6);
    EXPECT_EQ(litInRegion(frame, 0, 0, 639, 30, 10), 0) << "nothing below the band";
    EXPECT_EQ(litInRegion(frame, 0, 112, 639, 479, 10), 0) << "nothing above row 0";
}

// The scene as the main loop runs it: steps 26 ms apart with a beat every 16 steps, a frame
// early in the flight, one while the pen draws its figure, one with the scroller mid-way.
TEST_F(TunnelPixels, SceneFramesShowTunnelFigureAndScroller)
{
    int step = 0;
    auto runTo = [&step](int lastStep) {
        for (; step < lastStep; ++step) {
            if (step % 16 == 0) {
                onBeatInstrument();
            }
            fakeClockSet(50000 + 26 * static_cast<uint32_t>(step));
            tunnelSceneStep();
        }
    };

    runTo(30);
    const uint8_t* frame = drawSceneFrame();
    saveFrameIfAsked(frame, "tunnel_early");
    EXPECT_GT(litPixelCount(frame, 24), 640 * 480 / 5);

    runTo(40 + 250);
    frame = drawSceneFrame();
    saveFrameIfAsked(frame, "tunnel_figure");
    EXPECT_GT(litInRegion(frame, 250, 200, 390, 342, 100), 300);

    // The field starts on step 39 (1014 ms) and completes on its 401st step; then row 38 of 78
    // reaches the middle of the band after 105 + 28 * 38 + 127 advances.
    runTo(39 + 400 + 105 + 28 * 38 + 127);
    EXPECT_EQ(scrollPosition, 96.0f + 14.0f * 38.0f);
    frame = drawSceneFrame();
    saveFrameIfAsked(frame, "tunnel_scroller");
    EXPECT_GT(litInRegion(frame, 150, 94, 490, 110, 200), 40);
}

}  // namespace
