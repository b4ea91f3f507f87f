// The knot scene on real pixels: Mesa's software renderer, offscreen, at 640x480 and scaled
// into larger outputs. Set YARVIK_SHOTS to a folder to keep the frames as PNG files.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "assets/tga.h"
#include "math/knot_math.h"
#include "scenes/knot/knot_scene.h"
#include "shell/gl.h"
#include "shell/window.h"
#include "shell/window_offscreen.h"
#include "tests/knot_test_state.h"
#include "tests/support/fake_clock.h"
#include "tests/support/pixels.h"

namespace {

struct WindowPoint {
    double x;
    double y;
    double depth;
};

class KnotPixels : public ::testing::Test {
protected:
    static void SetUpTestSuite() { createDemoWindow(); }

    void SetUp() override
    {
        ASSERT_EQ(running, 1);
        fakeClockAdvanceOnRead(0);
        fakeClockSet(20000);
        restoreKnotStateAtStart();
        std::srand(11);
        knotSceneInit();
        glClearColor(0, 0, 0, 0);
    }

    void TearDown() override
    {
        if (windowPicture.outputWidth != SCREEN_WIDTH || windowPicture.outputHeight != SCREEN_HEIGHT) {
            reopenWindow(SCREEN_WIDTH, SCREEN_HEIGHT);
        }
    }

    // The window made again at another size, with the scene's textures loaded into it and
    // one frame drawn, so the scene's clear colour stands.
    static void reopenAt(int width, int height)
    {
        reopenWindow(width, height);
        knotTubeTexture = loadTextureResource("REDDISH");
        knotBallTexture = loadTextureResource("BALL");
        frame();
    }
    // One frame as the main loop draws it.
    static const uint8_t* frame()
    {
        clearFrame();
        glLoadIdentity();
        knotSceneDraw();
        glBindTexture(GL_TEXTURE_2D, 0);
        return offscreenFrame();
    }

    static void steps(int n)
    {
        for (int i = 0; i < n; ++i) {
            knotSceneStep();
        }
    }

    static void keep(const uint8_t* rgba, const char* name)
    {
        if (const char* dir = std::getenv("YARVIK_SHOTS")) {
            EXPECT_TRUE(writeFramePng(rgba, std::string(dir) + "/" + name));
        }
    }

    // Window position of a point given in the frame that `extra` sets up after the camera.
    template <typename Extra>
    static WindowPoint project(double x, double y, double z, Extra extra)
    {
        GLdouble model[16], projection[16];
        const PictureArea& picture = windowPicture;
        GLint viewport[4] = {picture.x, picture.y, picture.width, picture.height};
        glPushMatrix();
        glLoadIdentity();
        placeCamera(cameraPosition.x, cameraPosition.y, cameraPosition.z, -35.0f, 90.0f - cameraOrbitAngle, 0.0f);
        extra();
        glGetDoublev(GL_MODELVIEW_MATRIX, model);
        glGetDoublev(GL_PROJECTION_MATRIX, projection);
        glPopMatrix();
        WindowPoint w{};
        gluProject(x, y, z, model, projection, viewport, &w.x, &w.y, &w.depth);
        return w;
    }
};

bool isBackground(Rgb p) { return std::abs(p.r - 89) <= 1 && p.g == 0 && p.b == 0; }

// The clear colour the scene sets is used from the next frame's clear on.
TEST_F(KnotPixels, DarkRedBackgroundAppearsFromTheSecondFrame)
{
    steps(1);
    Rgb first = framePixel(frame(), 2, 477);
    EXPECT_EQ(first.r, 0);
    EXPECT_EQ(first.g, 0);
    EXPECT_EQ(first.b, 0);
    Rgb second = framePixel(frame(), 2, 477);
    EXPECT_TRUE(isBackground(second)) << second.r << " " << second.g << " " << second.b;
}

// Every sample along the centre line of a grown knot shows the tube, red from its texture and
// lit: shaded unevenly, and darker than the background because its normals keep the ring's
// radius (0.15 to 0.35) as their length, which scales the diffuse term down.
TEST_F(KnotPixels, GrownKnotIsALitRedTubeOnDarkRed)
{
    steps(189);
    frame();
    const uint8_t* rgba = frame();
    keep(rgba, "knot.png");
    int background = 0;
    for (int y = 0; y < SCREEN_HEIGHT; y += 4) {
        for (int x = 0; x < SCREEN_WIDTH; x += 4) {
            background += isBackground(framePixel(rgba, x, y));
        }
    }
    EXPECT_GT(background, 160 * 120 / 2);
    EXPECT_TRUE(isBackground(framePixel(rgba, 2, 477)));

    int tube = 0, redder = 0, darkest = 255, brightest = 0, sum = 0;
    for (int i = 0; i < KNOT_SEGMENT_COUNT; ++i) {
        Vec3 c = knotSegments[i].start;
        WindowPoint w = project(pulseScale * c.x, pulseScale * c.y, pulseScale * c.z, [] {});
        Rgb p = framePixel(rgba, int(w.x), int(w.y));
        if (isBackground(p)) {
            continue;
        }
        ++tube;
        redder += p.r > p.g + 20 && p.r > p.b + 20;
        darkest = std::min(darkest, p.r);
        brightest = std::max(brightest, p.r);
        sum += p.r;
    }
    ASSERT_GE(tube, 175);
    EXPECT_GE(redder, tube * 9 / 10);
    EXPECT_GT(brightest - darkest, 30);
    EXPECT_GT(sum / tube, 20);
    EXPECT_LT(sum / tube, 80);
}

// At three times the size each swirl point is a 3x3 block, points being as wide as a unit.
TEST_F(KnotPixels, EverySwirlPointIsPureRed)
{
    steps(189);
    for (int scale : {1, 3}) {
        if (scale != 1) {
            reopenAt(SCREEN_WIDTH * scale, SCREEN_HEIGHT * scale);
        }
        const int width = SCREEN_WIDTH * scale;
        const int height = SCREEN_HEIGHT * scale;
        for (int i = 0; i < 30; ++i) {
            const uint8_t* rgba = frame();
            if (i == 0) {
                keep(rgba, scale == 1 ? "knot_swirl.png" : "knot_swirl_3x.png");
            }
            // Depth of what was drawn last at each pixel, to tell a visible point from a hidden one.
            std::vector<float> depth(static_cast<size_t>(width) * height);
            glReadPixels(0, 0, width, height, GL_DEPTH_COMPONENT, GL_FLOAT, depth.data());
            int visible = 0;
            for (const SwirlPoint& s : swirlPoints) {
                WindowPoint w = project(s.x, s.y, s.z, [] {
                    glTranslatef(0.0f, -4.0f, 0.0f);
                    glRotatef(90.0f - cameraOrbitAngle, 0.0f, 1.0f, 0.0f);
                });
                // The block a point of `scale` pixels covers around its centre.
                int x0 = int(std::lround(w.x - scale / 2.0)), y0 = int(std::lround(w.y - scale / 2.0));
                if (x0 < 0 || y0 < 0 || x0 + scale > width || y0 + scale > height) {
                    continue;
                }
                bool hidden = false;
                for (int d = 0; d < scale * scale; ++d) {
                    hidden = hidden || std::fabs(depth[(y0 + d / scale) * width + x0 + d % scale] - w.depth) > 1e-4;
                }
                if (hidden) {
                    continue;  // behind the tube or a ball, or only partly in front
                }
                ++visible;
                for (int d = 0; d < scale * scale; ++d) {
                    Rgb p = framePixel(rgba, x0 + d % scale, y0 + d / scale);
                    EXPECT_TRUE(p.r == 255 && p.g == 0 && p.b == 0)
                        << scale << "x at " << x0 + d % scale << "," << y0 + d / scale << ": " << p.r << " " << p.g
                        << " " << p.b;
                }
            }
            EXPECT_GT(visible, 10);
            steps(1);
        }
    }
}

// The same grown knot at three times the size, averaged back down, is the 640x480 picture;
// in a 16:9 output it stands between black bars with the dark red reaching its edges.
TEST_F(KnotPixels, AtAnySizeTheKnotIsTheSamePictureScaledAndCentred)
{
    steps(189);
    frame();
    const std::vector<uint8_t> screen = frameCopy(frame());

    reopenAt(1920, 1440);
    const uint8_t* rgba = frame();
    keep(rgba, "knot_1440.png");
    const double difference = meanDifferenceScaledDown(rgba, 3, screen);
    std::printf("knot at 1920x1440 averaged down against 640x480: %.3f levels per channel\n", difference);
    EXPECT_LT(difference, 0.5);

    reopenAt(1920, 1080);
    rgba = frame();
    keep(rgba, "knot_1080.png");
    int barPixels = 0;
    int litBarPixels = 0;
    for (int y = 0; y < 1080; y += 3) {
        for (int x : {0, 120, 239, 1680, 1800, 1919}) {
            ++barPixels;
            Rgb p = framePixel(rgba, x, y);
            litBarPixels += p.r + p.g + p.b > 0;
        }
        EXPECT_TRUE(isBackground(framePixel(rgba, 240, y)) || y > 980) << y;
        EXPECT_TRUE(isBackground(framePixel(rgba, 1679, y)) || y > 980) << y;
    }
    EXPECT_EQ(litBarPixels, 0) << "of " << barPixels;
}

}  // namespace
