// The GL 1.1 layer on ES 2 against Mesa's own GL 1.1: the same drawing code, once through the
// desktop GL and once through the layer, both on Mesa's software renderer, compared pixel by
// pixel. Set YARVIK_SHOTS to a folder to keep both frames and their difference as PNG files.
#include <gtest/gtest.h>

#include <dlfcn.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "assets/texture_resource.h"
#include "assets/tga.h"
#include "music/player.h"
#include "platform/gles2/gles2.h"
#include "platform/offscreen/window_offscreen.h"
#include "scenes/knot/knot_scene.h"
#include "scenes/knot/knot_state.h"
#include "scenes/tunnel/particles.h"
#include "scenes/tunnel/scroller.h"
#include "scenes/tunnel/tunnel_scene.h"
#include "scenes/tunnel/tunnel_state.h"
#include "shell/gl.h"
#include "shell/gl_state.h"
#include "shell/overlay.h"
#include "shell/window.h"
#include "tests/fakes/fake_clock.h"
#include "tests/support/pixels.h"

namespace {

using Frame = std::vector<uint8_t>;

enum Gl { DESKTOP_GL, GLES2 };

// Makes the offscreen window on `gl` at width x height, draws one frame with `draw` after the
// pass's clear and returns it.
Frame render(Gl gl, int width, int height, const std::function<void()>& draw)
{
    offscreenGles2 = gl == GLES2;
    reopenWindow(width, height);
    EXPECT_EQ(windowCore.running, 1);
    clearFrame();
    glLoadIdentity();
    draw();
    const uint8_t* rgba = offscreenFrame();
    return Frame(rgba, rgba + static_cast<size_t>(width) * height * 4);
}

// How far the layer's frame is from Mesa's: per channel, the mean absolute difference and the
// 99.9th percentile of each pixel's largest one, over the whole frame and over the pixels
// either frame drew on (those unlike its lower-left corner).
struct Difference {
    double mean[2];  // whole frame, drawn pixels
    int p999[2];
    long drawn;
};

Difference compare(const Frame& mesa, const Frame& layer)
{
    std::vector<int> largest[2];
    long sum[2] = {0, 0};
    for (size_t i = 0; i < mesa.size(); i += 4) {
        int most = 0, total = 0;
        bool drawn = false;
        for (int c = 0; c < 3; ++c) {
            const int diff = std::abs(mesa[i + c] - layer[i + c]);
            most = std::max(most, diff);
            total += diff;
            drawn = drawn || mesa[i + c] != mesa[c] || layer[i + c] != layer[c];
        }
        for (int part = 0; part < (drawn ? 2 : 1); ++part) {
            largest[part].push_back(most);
            sum[part] += total;
        }
    }
    Difference d{{0, 0}, {0, 0}, static_cast<long>(largest[1].size())};
    for (int part = 0; part < 2; ++part) {
        std::vector<int>& v = largest[part];
        if (!v.empty()) {
            std::sort(v.begin(), v.end());
            d.mean[part] = static_cast<double>(sum[part]) / (3.0 * static_cast<double>(v.size()));
            d.p999[part] = v[v.size() * 999 / 1000];
        }
    }
    return d;
}

// Draws the same frame both ways (keeping both and their difference, magnified, as PNG files
// when asked), checks that Mesa's frame has at least `minDrawn` pixels drawn (a blank frame
// tests nothing), and holds the difference to the whole-frame tolerance of the demo's
// conformance (mean 0.5, 99.9th percentile 16): over the whole frame for the scenes, over the
// pixels drawn for features drawn small. A moved edge pixel passes; a wrong light, a missing
// sphere map, a black texture or a shifted glyph does not.
enum Over { WHOLE_FRAME, DRAWN_PIXELS };

void expectSame(const std::string& name, int width, int height, long minDrawn, Over over,
                const std::function<void()>& draw)
{
    const Frame mesa = render(DESKTOP_GL, width, height, draw);
    const Frame layer = render(GLES2, width, height, draw);
    if (const char* dir = std::getenv("YARVIK_SHOTS")) {
        Frame diff(mesa.size());
        for (size_t i = 0; i < mesa.size(); ++i) {
            diff[i] = (i % 4 == 3) ? 255 : static_cast<uint8_t>(std::min(255, 8 * std::abs(mesa[i] - layer[i])));
        }
        writeFramePng(mesa.data(), std::string(dir) + "/" + name + "_mesa.png");
        writeFramePng(layer.data(), std::string(dir) + "/" + name + "_layer.png");
        writeFramePng(diff.data(), std::string(dir) + "/" + name + "_diff.png");
    }
    const Difference d = compare(mesa, layer);
    std::printf("%-22s %4dx%-4d whole frame: mean %.4f p99.9 %2d; %7ld drawn: mean %.4f p99.9 %2d\n", name.c_str(),
                width, height, d.mean[0], d.p999[0], d.drawn, d.mean[1], d.p999[1]);
    EXPECT_GE(d.drawn, minDrawn) << name;
    EXPECT_LE(d.mean[over], 0.5) << name;
    EXPECT_LE(d.p999[over], 16) << name;
}

// A sphere of quads whose normals are `normalLength` long.
void drawSphere(float radius, float normalLength)
{
    constexpr int RINGS = 16, SLICES = 24;
    glBegin(GL_QUADS);
    for (int i = 0; i < RINGS; ++i) {
        for (int j = 0; j < SLICES; ++j) {
            const int corners[4][2] = {{i, j}, {i + 1, j}, {i + 1, j + 1}, {i, j + 1}};
            for (const auto& c : corners) {
                const float a = 3.14159f * static_cast<float>(c[0]) / RINGS;
                const float b = 6.28318f * static_cast<float>(c[1]) / SLICES;
                const float n[3] = {std::sin(a) * std::cos(b), std::cos(a), std::sin(a) * std::sin(b)};
                glNormal3f(n[0] * normalLength, n[1] * normalLength, n[2] * normalLength);
                glVertex3f(n[0] * radius, n[1] * radius, n[2] * radius);
            }
        }
    }
    glEnd();
}

void litSphereMappedSphere(bool normalize)
{
    static const GLfloat ambient[4] = {0.75f, 0.75f, 0.75f, 1.0f}, position[4] = {1.0f, 1.0f, 1.0f, 1.0f};
    static const GLdouble squash[16] = {1.4, 0.2, 0, 0, 0, 0.6, 0, 0, 0.3, 0, 1.1, 0, 0, 0, 0, 1};
    const GLuint texture = loadTextureResource("REDDISH");
    glTranslatef(0.0f, 0.0f, -6.0f);
    glLightfv(GL_LIGHT0, GL_AMBIENT, ambient);
    glLightfv(GL_LIGHT0, GL_POSITION, position);
    glEnable(GL_LIGHTING);
    glEnable(GL_LIGHT0);
    if (normalize) {
        glEnable(GL_NORMALIZE);
    }
    glEnable(GL_TEXTURE_GEN_S);
    glEnable(GL_TEXTURE_GEN_T);
    glBindTexture(GL_TEXTURE_2D, texture);
    glRotatef(30.0f, 1.0f, 0.0f, 0.0f);
    glRotatef(-20.0f, 0.0f, 1.0f, 0.0f);
    glMultMatrixd(squash);
    drawSphere(1.5f, 0.3f);
}

TEST(Gles2Pixels, SphereMapUnderANonUniformModelviewAndLightingWithShortNormals)
{
    expectSame("texgen_lit", 640, 480, 40000, DRAWN_PIXELS, [] { litSphereMappedSphere(false); });
    expectSame("texgen_lit_normalize", 640, 480, 40000, DRAWN_PIXELS, [] { litSphereMappedSphere(true); });
}

// Texture 0 and a texture without a complete set of images both mean texturing off, so the
// quads keep their colours; the ball's texture modulates its colour and alpha.
TEST(Gles2Pixels, TextureZeroAndIncompleteTexturesDrawUntexturedAndCompleteOnesModulate)
{
    expectSame("texturing", 640, 480, 30000, DRAWN_PIXELS, [] {
        const GLuint ball = loadTextureResource("BALL");
        GLuint incomplete = 0;
        glGenTextures(1, &incomplete);
        glBindTexture(GL_TEXTURE_2D, incomplete);
        const GLubyte grey[4 * 4 * 3] = {};
        glTexImage2D(GL_TEXTURE_2D, 0, GL_RGB, 4, 4, 0, GL_RGB, GL_UNSIGNED_BYTE, grey);
        const GLuint textures[3] = {0, incomplete, ball};
        pushOverlayProjection(640, 480);
        for (int i = 0; i < 3; ++i) {
            glBindTexture(GL_TEXTURE_2D, textures[i]);
            glColor4f(0.9f, 0.5f - 0.2f * i, 0.2f, 0.8f);
            const float x = 40.0f + 200.0f * i;
            glBegin(GL_QUADS);
            glTexCoord2f(0, 0), glVertex2f(x, 100), glTexCoord2f(1, 0), glVertex2f(x + 150, 100);
            glTexCoord2f(1, 1), glVertex2f(x + 150, 300), glTexCoord2f(0, 1), glVertex2f(x, 300);
            glEnd();
        }
        popOverlayProjection();
    });
}

// Colours given once hold for every vertex after them, across primitives and batches.
TEST(Gles2Pixels, AColourGivenOnceHoldsForTheVerticesAfterIt)
{
    expectSame("colour_once", 640, 480, 20000, DRAWN_PIXELS, [] {
        glBindTexture(GL_TEXTURE_2D, 0);
        pushOverlayProjection(640, 480);
        glColor3f(0.2f, 0.8f, 0.4f);
        glBegin(GL_QUADS);
        glVertex2f(50, 50), glVertex2f(250, 50), glVertex2f(250, 200), glVertex2f(50, 200);
        glEnd();
        glBegin(GL_QUADS);
        glVertex2f(300, 50), glVertex2f(450, 60);
        glColor3f(1.0f, 0.3f, 0.9f);
        glVertex2f(460, 220), glVertex2f(320, 200);
        glEnd();
        glBegin(GL_POINTS);
        for (int i = 0; i < 50; ++i) {
            glVertex2f(100.0f + 8.0f * i, 300.0f);
        }
        glEnd();
        popOverlayProjection();
    });
}

// Points and lines at the picture's scale: one pixel at 640x480, 2.25 and 3 pixels on larger
// outputs (rounded to whole pixels as GL 1.1 does); x-major lines widen vertically, y-major
// ones horizontally.
TEST(Gles2Pixels, PointsAndWideLinesAtSeveralScales)
{
    const int sizes[3][2] = {{640, 480}, {1440, 1080}, {1920, 1440}};
    for (const auto& size : sizes) {
        expectSame("points_lines_" + std::to_string(size[0]), size[0], size[1], 1000, DRAWN_PIXELS, [] {
            glBindTexture(GL_TEXTURE_2D, 0);
            pushOverlayProjection(640, 480);
            glBegin(GL_POINTS);
            for (int i = 0; i < 40; ++i) {
                glColor3f(0.5f + 0.02f * i, 0.4f, 1.0f - 0.02f * i);
                glVertex3f(20.0f + 15.3f * i, 400.0f + 7.7f * std::sin(0.5f * i), -0.1f);
            }
            glEnd();
            glBegin(GL_LINES);
            for (int i = 0; i < 20; ++i) {
                const float x = 30.0f + 29.0f * i, y = 200.0f + 3.3f * i;
                glColor3f(1.0f, 1.0f - 0.04f * i, 0.5f);
                glVertex2f(x - 1.0f, y), glVertex2f(x + 1.0f, y), glVertex2f(x, y - 1.0f), glVertex2f(x, y + 1.0f);
                glVertex2f(x, 80.0f), glVertex2f(x + 25.0f, 80.0f + 13.0f * (i % 5));
                glVertex2f(x, 300.0f), glVertex2f(x + 5.0f + i, 360.0f);
            }
            glEnd();
            popOverlayProjection();
        });
    }
}

// Text from the font's display lists at the raster position, in the raster colour with its
// alpha, at two scales; the list base is left as it was.
TEST(Gles2Pixels, BitmapTextLandsOnTheSamePixels)
{
    for (int width : {640, 1440}) {
        expectSame("text_" + std::to_string(width), width, width * 3 / 4, 2000, DRAWN_PIXELS, [] {
            glBindTexture(GL_TEXTURE_2D, 0);
            pushOverlayProjection(640, 480);
            for (int row = 0; row < 12; ++row) {
                glColor4f(1.0f, 0.9f, 0.8f, 1.0f - 0.08f * row);
                drawBitmapText("Row %d of the scroller, rising through the band.", 17.0f + 13.5f * row,
                               40.0f + 30.25f * row, row);
            }
            popOverlayProjection();
            GLint base = -1;
            glGetIntegerv(GL_LIST_BASE, &base);
            EXPECT_EQ(base, 0);
        });
    }
}

// The fades with alpha inside [0, 1] and past either end, which GL clamps.
TEST(Gles2Pixels, FadesDarkenByTheClampedAlpha)
{
    for (float alpha : {-0.5f, 0.3f, 1.7f}) {
        expectSame("fade_" + std::to_string(alpha), 640, 480, alpha < 1.0f ? 300000 : 0, DRAWN_PIXELS, [alpha] {
            glBindTexture(GL_TEXTURE_2D, 0);
            pushOverlayProjection(640, 480);
            glBegin(GL_QUADS);
            glColor3f(1.0f, 0.5f, 0.25f), glVertex2f(0, 0), glVertex2f(640, 0);
            glColor3f(0.2f, 0.9f, 0.6f), glVertex2f(640, 480), glVertex2f(0, 480);
            glEnd();
            popOverlayProjection();
            drawFadeOverlay(alpha);
        });
    }
}

// Back faces culled, nearer quads hiding farther ones under GL_LEQUAL, through pushed and
// popped modelview and projection matrices.
TEST(Gles2Pixels, CullingDepthAndTheMatrixStacks)
{
    expectSame("cull_depth", 640, 480, 20000, DRAWN_PIXELS, [] {
        glBindTexture(GL_TEXTURE_2D, 0);
        for (int i = 0; i < 6; ++i) {
            glPushMatrix();
            glTranslatef(-2.5f + i, 0.3f * (i % 2), -5.0f - 0.5f * i);
            glRotatef(25.0f * i, 0.0f, 1.0f, 0.0f);
            glColor3f(0.15f * i, 1.0f - 0.15f * i, 0.5f);
            glBegin(GL_QUADS);
            const float w = (i % 3 == 2) ? -1.0f : 1.0f;  // every third quad winds clockwise
            glVertex3f(-w, -1, 0), glVertex3f(w, -1, 0), glVertex3f(w, 1, 0), glVertex3f(-w, 1, 0);
            glEnd();
            glPopMatrix();
        }
        pushOverlayProjection(640, 480);
        glColor3f(1.0f, 1.0f, 1.0f);
        glBegin(GL_QUADS);
        glVertex3f(250, 200, -5000), glVertex3f(400, 200, -5000), glVertex3f(400, 300, -5000);
        glVertex3f(250, 300, -5000);
        glEnd();
        popOverlayProjection();
    });
}

// What the matrix calls leave behind is Mesa's float for float, and gluPerspective's matrix is
// libGLU's bit for bit.
TEST(Gles2Pixels, MatricesAreMesasBitForBitAndGluPerspectiveIsLibglus)
{
    auto matrices = [](Gl gl) {
        std::vector<float> m(32);
        render(gl, 64, 48, [&m] {
            glMatrixMode(GL_PROJECTION);
            glPushMatrix();
            glOrtho(-3.0, 641.0, 7.0, 479.5, -1.0, 9999.0);
            glMatrixMode(GL_MODELVIEW);
            glRotatef(-35.0f, 1.0f, 0.0f, 0.0f);
            glRotatef(71.3f, 0.0f, 1.0f, 0.0f);
            glRotatef(12.0f, 0.3f, -0.5f, 0.8f);
            glTranslatef(-1.25f, 3.5f, -7.0f);
            glGetFloatv(GL_MODELVIEW_MATRIX, m.data());
            glGetFloatv(GL_PROJECTION_MATRIX, m.data() + 16);
        });
        return m;
    };
    EXPECT_EQ(matrices(DESKTOP_GL), matrices(GLES2));

    void* glu = dlopen("libGLU.so.1", RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(glu, nullptr);
    auto libgluPerspective = reinterpret_cast<void (*)(GLdouble, GLdouble, GLdouble, GLdouble)>(
        dlsym(glu, "gluPerspective"));
    float ours[16], theirs[16];
    render(DESKTOP_GL, 64, 48, [&] {
        glMatrixMode(GL_PROJECTION);
        glGetFloatv(GL_PROJECTION_MATRIX, ours);
        glLoadIdentity();
        libgluPerspective(45.0, 1.33f, 1.0, 1000.0);
        glGetFloatv(GL_PROJECTION_MATRIX, theirs);
    });
    EXPECT_EQ(0, std::memcmp(ours, theirs, sizeof ours));
    dlclose(glu);
}

// The scenes themselves, drawn by their own code at moments of the run (steps 26 ms apart, a
// beat every 16 in the tunnel): the knot growing, its newest segments lit, sphere-mapped
// outlines, and at 12 s; the tunnel at 65 s with the particle figure and the scroller. Through
// the layer a frame goes out in a handful of draws, not one per glBegin.
void drawScene(const char* name, void (*draw)(), long maxDraws)
{
    clearFrame();
    glLoadIdentity();
    const long before = gles2Counters().draws;
    draw();
    glBindTexture(GL_TEXTURE_2D, 0);
    fadeIn(0);
    glFlush();
    if (offscreenGles2) {
        std::printf("%s: %ld draws\n", name, gles2Counters().draws - before);
        EXPECT_LE(gles2Counters().draws - before, maxDraws);
    }
}

void knotFrame(int steps)
{
    fakeClockAdvanceOnRead(0);
    knotScene = KNOT_START_STATE;
    std::srand(11);
    knotSceneInit();
    for (int i = 0; i < steps; ++i) {
        fakeClockSet(20000 + 26 * static_cast<uint32_t>(i));
        knotSceneStep();
    }
    drawScene("knot", knotSceneDraw, 16);
}

void tunnelFrame(int steps)
{
    fakeClockAdvanceOnRead(0);
    testing::internal::CaptureStdout();
    tunnelScene = TUNNEL_START_STATE;
    tunnelSceneInit();
    testing::internal::GetCapturedStdout();
    particleField = PARTICLE_FIELD_START_STATE;
    particlesInit();
    scroller = SCROLLER_START_STATE;
    takeBeat();
    for (int i = 0; i < steps; ++i) {
        if (i % 16 == 0) {
            onBeatInstrument();
        }
        fakeClockSet(50000 + 26 * static_cast<uint32_t>(i));
        tunnelSceneStep();
    }
    drawScene("tunnel", tunnelSceneDraw, 8);
}

TEST(Gles2Pixels, SceneFramesMatchMesaWithinTheWholeFrameTolerance)
{
    expectSame("knot_growing", 640, 480, 50000, WHOLE_FRAME, [] { knotFrame(100); });
    expectSame("knot_12s", 640, 480, 50000, WHOLE_FRAME, [] { knotFrame(461); });
    expectSame("knot_12s_1440", 1440, 1080, 250000, WHOLE_FRAME, [] { knotFrame(461); });
    expectSame("tunnel_65s", 640, 480, 200000, WHOLE_FRAME, [] { tunnelFrame(1307); });
    expectSame("tunnel_65s_1440", 1440, 1080, 1000000, WHOLE_FRAME, [] { tunnelFrame(1307); });
}

}  // namespace
