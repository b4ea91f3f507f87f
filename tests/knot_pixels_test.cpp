// The knot scene on real pixels: Mesa's software renderer, offscreen, at 640x480 and at three
// times the size. Set YARVIK_SHOTS to a folder to keep the frames as PNG files.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "assets/texture_resource.h"
#include "assets/tga.h"
#include "math/knot_math.h"
#include "platform/offscreen/window_offscreen.h"
#include "scenes/knot/knot_scene.h"
#include "scenes/knot/knot_state.h"
#include "shell/gl.h"
#include "shell/window.h"
#include "tests/fakes/fake_clock.h"
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
        ASSERT_EQ(windowCore.running, 1);
        fakeClockAdvanceOnRead(0);
        fakeClockSet(20000);
        knotScene = KNOT_START_STATE;
        std::srand(11);
        knotSceneInit();
        glClearColor(0, 0, 0, 0);
    }
    void TearDown() override
    {
        if (windowCore.picture.outputWidth != SCREEN_WIDTH) {
            reopenWindow(SCREEN_WIDTH, SCREEN_HEIGHT);
        }
    }

    // One frame as the main loop draws it.
    static const uint8_t* frame()
    {
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
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

    // Window position of a point given in the frame that `extra` sets up after the camera, as
    // GL places it: modelview, projection, perspective division, viewport.
    template <typename Extra>
    static WindowPoint project(double x, double y, double z, Extra extra)
    {
        GLfloat model[16], projection[16];
        glPushMatrix();
        glLoadIdentity();
        const Vec3 eye = knotScene.cameraPosition;
        placeCamera(eye.x, eye.y, eye.z, -35.0f, 90.0f - knotScene.cameraOrbitAngle, 0.0f);
        extra();
        glGetFloatv(GL_MODELVIEW_MATRIX, model);
        glGetFloatv(GL_PROJECTION_MATRIX, projection);
        glPopMatrix();
        const double point[4] = {x, y, z, 1.0};
        double eyePoint[4] = {};
        double clip[4] = {};
        for (int row = 0; row < 4; ++row) {
            for (int k = 0; k < 4; ++k) {
                eyePoint[row] += model[k * 4 + row] * point[k];  // column-major, as GL stores them
            }
        }
        for (int row = 0; row < 4; ++row) {
            for (int k = 0; k < 4; ++k) {
                clip[row] += projection[k * 4 + row] * eyePoint[k];
            }
        }
        return WindowPoint{(1.0 + clip[0] / clip[3]) * SCREEN_WIDTH / 2.0, (1.0 + clip[1] / clip[3]) * SCREEN_HEIGHT / 2.0,
                           (1.0 + clip[2] / clip[3]) / 2.0};
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
        Vec3 c = knotScene.segments[i].start;
        const float s = knotScene.pulseScale;
        WindowPoint w = project(s * c.x, s * c.y, s * c.z, [] {});
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

TEST_F(KnotPixels, EverySwirlPointIsPureRed)
{
    steps(189);
    for (int i = 0; i < 30; ++i) {
        const uint8_t* rgba = frame();
        if (i == 0) {
            keep(rgba, "knot_swirl.png");
        }
        // Depth of what was drawn last at each pixel, to tell a visible point from a hidden one.
        static std::vector<float> depth(SCREEN_WIDTH * SCREEN_HEIGHT);
        glReadPixels(0, 0, SCREEN_WIDTH, SCREEN_HEIGHT, GL_DEPTH_COMPONENT, GL_FLOAT, depth.data());
        int visible = 0;
        for (const SwirlPoint& s : knotScene.swirlPoints) {
            WindowPoint w = project(s.x, s.y, s.z, [] {
                glTranslatef(0.0f, -4.0f, 0.0f);
                glRotatef(90.0f - knotScene.cameraOrbitAngle, 0.0f, 1.0f, 0.0f);
            });
            int x = int(std::floor(w.x)), y = int(std::floor(w.y));
            if (x < 0 || y < 0 || x >= SCREEN_WIDTH || y >= SCREEN_HEIGHT) {
                continue;
            }
            if (std::fabs(depth[y * SCREEN_WIDTH + x] - w.depth) > 1e-4) {
                continue;  // hidden behind the tube or a ball
            }
            ++visible;
            Rgb p = framePixel(rgba, x, y);
            EXPECT_EQ(p.r, 255) << x << "," << y;
            EXPECT_EQ(p.g, 0) << x << "," << y;
            EXPECT_EQ(p.b, 0) << x << "," << y;
        }
        EXPECT_GT(visible, 10);
        steps(1);
    }
}

// The grown knot drawn at 1920x1440, each 3x3 block averaged, is the 640x480 picture.
TEST_F(KnotPixels, AtThreeTimesTheSizeTheKnotIsTheSamePicture)
{
    steps(189);
    frame();
    const uint8_t* small = frame();
    const std::vector<uint8_t> screen(small, small + SCREEN_WIDTH * SCREEN_HEIGHT * 4);
    reopenWindow(3 * SCREEN_WIDTH, 3 * SCREEN_HEIGHT);
    knotScene.tubeTexture = loadTextureResource("REDDISH");
    knotScene.ballTexture = loadTextureResource("BALL");
    frame();
    const uint8_t* big = frame();
    keep(big, "knot_3x.png");
    double difference = 0.0;
    for (int i = 0; i < SCREEN_WIDTH * SCREEN_HEIGHT * 3; ++i) {
        const int x = i / 3 % SCREEN_WIDTH, y = i / 3 / SCREEN_WIDTH, c = i % 3;
        int sum = 0;
        for (int d = 0; d < 9; ++d) {
            sum += big[((3 * y + d / 3) * 3 * SCREEN_WIDTH + 3 * x + d % 3) * 4 + c];
        }
        difference += std::abs(sum / 9.0 - screen[(y * SCREEN_WIDTH + x) * 4 + c]);
    }
    difference /= SCREEN_WIDTH * SCREEN_HEIGHT * 3;
    std::printf("the knot at 3x averaged down: %.3f levels per channel from the 640x480 frame\n", difference);
    EXPECT_LT(difference, 0.5);
}

}  // namespace
