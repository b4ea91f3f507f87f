// The tunnel scene on real pixels (Mesa's software renderer, offscreen): the walls survive
// back-face culling from inside, the particle layer and the scroller light pixels where they
// should. With YARVIK_FRAME_DIR set, the frames are also written there as PNGs to look at.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <set>
#include <string>

#include "music/player.h"
#include "platform/offscreen/window_offscreen.h"
#include "scenes/tunnel/particles.h"
#include "scenes/tunnel/scroller.h"
#include "scenes/tunnel/tunnel_scene.h"
#include "scenes/tunnel/tunnel_state.h"
#include "shell/gl.h"
#include "shell/overlay.h"
#include "shell/window.h"
#include "tests/fakes/fake_clock.h"
#include "tests/support/pixels.h"

namespace {

void clearFrame()
{
    glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glLoadIdentity();
}

// Only the screen-space layer on black, set up as tunnelSceneDraw sets it up.
const uint8_t* drawOverlayLayer(void (*draw)())
{
    clearFrame();
    glBindTexture(GL_TEXTURE_2D, 0);
    pushOverlayProjection(640, 480);
    glLoadIdentity();
    glColor3f(1.0f, 1.0f, 1.0f);
    draw();
    popOverlayProjection();
    return offscreenFrame();
}

void saveFrameIfAsked(const uint8_t* rgba, const char* name)
{
    if (const char* dir = std::getenv("YARVIK_FRAME_DIR")) {
        EXPECT_TRUE(writeFramePng(rgba, std::string(dir) + "/" + name + ".png"));
    }
}

int brightness(Rgb p) { return std::max({p.r, p.g, p.b}); }
bool isDotGrey(Rgb p) { return p.r == 128 && p.g == 128 && p.b == 128; }

template <typename Test>
int countInRegion(const uint8_t* rgba, int x0, int y0, int x1, int y1, Test test)
{
    int n = 0;
    for (int y = y0; y <= y1; ++y) {
        for (int x = x0; x <= x1; ++x) {
            n += test(framePixel(rgba, x, y)) ? 1 : 0;
        }
    }
    return n;
}

int brightestInRegion(const uint8_t* rgba, int x0, int y0, int x1, int y1)
{
    int best = 0;
    countInRegion(rgba, x0, y0, x1, y1, [&best](Rgb p) { best = std::max(best, brightness(p)); return false; });
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
        ASSERT_EQ(windowCore.running, 1);
        const TunnelState loaded = tunnelScene;
        tunnelScene = TUNNEL_START_STATE;
        tunnelScene.tunnelTexture = loaded.tunnelTexture;
        tunnelScene.ballTexture = loaded.ballTexture;
        particleField = PARTICLE_FIELD_START_STATE;
        particlesInit();
        scroller = SCROLLER_START_STATE;
        takeBeat();
        fakeClockAdvanceOnRead(0);
        fakeClockSet(50000);
    }
    void TearDown() override { glCullFace(GL_BACK); }
};

TEST_F(TunnelPixels, WallFacesTheViewerFromInsideAndItsLightRampsSmoothly)
{
    clearFrame();
    drawTunnel();
    const uint8_t* frame = offscreenFrame();
    saveFrameIfAsked(frame, "tunnel_start");
    const int litFromInside = litPixelCount(frame, 24);
    EXPECT_GT(litFromInside, 640 * 480 / 5);

    glCullFace(GL_FRONT);  // the faces turned towards the viewer culled instead
    clearFrame();
    drawTunnel();
    EXPECT_LT(litPixelCount(offscreenFrame(), 24) * 20, litFromInside) << "the walls face the viewer";
    glCullFace(GL_BACK);

    // Untextured, the light along the wall is a smooth ramp from ring to ring, not one level
    // per ring: the middle row alone shows far more levels than there are lit rings.
    const GLuint texture = tunnelScene.tunnelTexture;
    tunnelScene.tunnelTexture = 0;
    clearFrame();
    drawTunnel();
    tunnelScene.tunnelTexture = texture;
    frame = offscreenFrame();
    std::set<int> levels;
    for (int x = 0; x < 640; ++x) {
        levels.insert(brightness(framePixel(frame, x, 240)));
    }
    EXPECT_GT(levels.size(), 50u);
}

TEST_F(TunnelPixels, ParticleLayerDrawsGreyDotsLiftedBy32AndBrightSparks)
{
    for (int i = 0; i < 120; ++i) {
        particlesStep();
    }
    const uint8_t* frame = drawOverlayLayer(particlesDraw);
    const int x = static_cast<int>(particleField.dots[0].x);
    const int y = static_cast<int>(particleField.dots[0].y + 32.0f);
    EXPECT_GE(countInRegion(frame, x - 1, y - 1, x + 1, y + 1, isDotGrey), 1) << "dot 0 near " << x << ", " << y;
    // The figure spans y 176..304 and is drawn 32 higher: no dot below y = 208.
    EXPECT_GT(countInRegion(frame, 250, 205, 390, 340, isDotGrey), 300);
    EXPECT_EQ(countInRegion(frame, 0, 0, 639, 205, isDotGrey), 0);
    EXPECT_GE(brightestInRegion(frame, 200, 150, 440, 400), 250) << "young sparks are white or yellow";
}

TEST_F(TunnelPixels, ScrollerRowsAreLitAndFadeTowardsTheBandEdge)
{
    scroller.scrollPosition = 96.0f;  // row 0 at full opacity, row 4 at y = 40 with opacity 0.5625
    const uint8_t* frame = drawOverlayLayer(scrollerDraw);
    EXPECT_GT(countInRegion(frame, 200, 94, 440, 110, [](Rgb p) { return brightness(p) > 60; }), 40);
    EXPECT_GE(brightestInRegion(frame, 200, 94, 440, 110), 250);
    EXPECT_NEAR(brightestInRegion(frame, 100, 36, 540, 48), 143, 6);  // below row 3's descenders
    EXPECT_EQ(brightestInRegion(frame, 0, 0, 639, 30), 0) << "nothing below the band";
    EXPECT_EQ(brightestInRegion(frame, 0, 112, 639, 479), 0) << "nothing above row 0";
}

// The scene as the main loop runs it, steps 26 ms apart with a beat every 16 steps: a frame
// early in the flight, one while the pen draws, one with the scroller's middle in the band.
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
        clearFrame();
        tunnelSceneDraw();
        glBindTexture(GL_TEXTURE_2D, 0);
        return offscreenFrame();
    };

    const uint8_t* frame = runTo(30);
    saveFrameIfAsked(frame, "tunnel_early");
    EXPECT_GT(litPixelCount(frame, 24), 640 * 480 / 5);

    frame = runTo(40 + 250);
    saveFrameIfAsked(frame, "tunnel_figure");
    EXPECT_GT(countInRegion(frame, 250, 205, 390, 340, isDotGrey), 300);

    // The field starts on step 39 (1014 ms) and completes on its 401st step; row 38 of 78 then
    // reaches the middle of the band after 105 + 28 * 38 + 127 advances.
    frame = runTo(39 + 400 + 105 + 28 * 38 + 127);
    EXPECT_EQ(scroller.scrollPosition, 96.0f + 14.0f * 38.0f);
    saveFrameIfAsked(frame, "tunnel_scroller");
    EXPECT_GE(brightestInRegion(frame, 150, 94, 490, 110), 250);
}

}  // namespace
