// The knot scene with its tube complete on Mesa's software renderer, two ways in one run:
// as the demo draws it (immediate mode, a glBegin/glEnd pair and a texture bind per quad, all
// recomputed every frame), and with the same 5760 quads computed once, outside the timed loop,
// and submitted from vertex arrays in one glDrawArrays. The balls and the swirl are drawn the
// same way in both. The ratio of the two times is how far the scene's own way of drawing is
// from the best this renderer can do with the same geometry.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdlib>
#include <vector>

#include "math/knot_math.h"
#include "platform/offscreen/window_offscreen.h"
#include "scenes/knot/knot_draw.h"
#include "scenes/knot/knot_scene.h"
#include "scenes/knot/knot_state.h"
#include "shell/gl.h"
#include "shell/window.h"
#include "tests/fakes/fake_clock.h"

namespace {

constexpr int TUBE_VERTICES = KNOT_SEGMENT_COUNT * QUADS_PER_RING * 4;

std::vector<GLfloat> tubeVertices;
std::vector<GLfloat> tubeNormals;

// The knot state of a complete tube, and the offscreen context; once per process.
bool prepare()
{
    static bool prepared = false;
    if (!prepared) {
        createDemoWindow();
        fakeClockSet(10000);
        knotSceneInit();
        for (int i = 0; i < 200; ++i) {
            knotSceneStep();
        }
        prepared = true;
    }
    return windowCore.running == 1 && knotScene.growthCount == KNOT_GROWTH_LIMIT;
}

void put(Vec3 normal, Vec3 vertex)
{
    tubeNormals.insert(tubeNormals.end(), {normal.x, normal.y, normal.z});
    tubeVertices.insert(tubeVertices.end(), {vertex.x, vertex.y, vertex.z});
}

// The tube's quads with the same corners, order and normals as the scene's drawing of a
// complete tube (every segment solid, one quad per step).
void buildTube()
{
    tubeVertices.clear();
    tubeNormals.clear();
    tubeVertices.reserve(TUBE_VERTICES * 3);
    tubeNormals.reserve(TUBE_VERTICES * 3);
    for (int k = 0; k < KNOT_SEGMENT_COUNT; ++k) {
        const float s = knotScene.pulseScale;
        Vec3 p0 = knotScaled(knotScene.segments[k].start, s);
        Vec3 p1 = knotScaled(knotScene.segments[k].end, s);
        Vec3 p2 = knotScaled(knotScene.segments[k < KNOT_SEGMENT_COUNT - 1 ? k + 1 : 0].end, s);
        float r0 = knotRingRadius(k);
        float r1 = knotRingRadius(k + 1);
        for (int j = 0; j < QUADS_PER_RING; ++j) {
            float theta0 = static_cast<float>(j) / QUADS_PER_RING * FULL_TURN;
            float theta1 = static_cast<float>(j + 1) / QUADS_PER_RING * FULL_TURN;
            Vec3 v00 = knotRingPoint(p0, p1, r0, theta0);
            Vec3 v10 = knotRingPoint(p1, p2, r1, theta0);
            Vec3 v11 = knotRingPoint(p1, p2, r1, theta1);
            Vec3 v01 = knotRingPoint(p0, p1, r0, theta1);
            put(vec3Sub(v10, p1), v10);
            put(vec3Sub(v00, p0), v00);
            put(vec3Sub(v01, p0), v01);
            put(vec3Sub(v11, p1), v11);
        }
    }
}

// The tube in immediate mode from the prepared quads, for telling apart what the scene's own
// drawing's cost is made of: `bindPerQuad` as the scene does, `pairPerQuad` a glBegin/glEnd
// pair per quad as the scene does, otherwise one pair for the whole tube.
void drawPreparedTubeImmediate(bool bindPerQuad, bool pairPerQuad)
{
    const GLfloat* v = tubeVertices.data();
    const GLfloat* n = tubeNormals.data();
    glBindTexture(GL_TEXTURE_2D, knotScene.tubeTexture);
    if (!pairPerQuad) {
        glBegin(GL_QUADS);
    }
    for (int q = 0; q < TUBE_VERTICES / 4; ++q) {
        if (bindPerQuad) {
            glBindTexture(GL_TEXTURE_2D, knotScene.tubeTexture);
        }
        if (pairPerQuad) {
            glBegin(GL_QUADS);
        }
        for (int c = 0; c < 4; ++c, v += 3, n += 3) {
            glNormal3f(n[0], n[1], n[2]);
            glVertex3f(v[0], v[1], v[2]);
        }
        if (pairPerQuad) {
            glEnd();
        }
    }
    if (!pairPerQuad) {
        glEnd();
    }
}

enum TubeWay { TUBE_ARRAYS, TUBE_IMMEDIATE_AS_SCENE, TUBE_IMMEDIATE_NO_BINDS, TUBE_IMMEDIATE_ONE_PAIR };
TubeWay tubeWay = TUBE_ARRAYS;

// The scene's drawing with the tube from the prepared quads.
void drawBatchedScene()
{
    knotDrawBeforeTube();
    if (tubeWay == TUBE_ARRAYS) {
        glBindTexture(GL_TEXTURE_2D, knotScene.tubeTexture);
        glEnableClientState(GL_VERTEX_ARRAY);
        glEnableClientState(GL_NORMAL_ARRAY);
        glVertexPointer(3, GL_FLOAT, 0, tubeVertices.data());
        glNormalPointer(GL_FLOAT, 0, tubeNormals.data());
        glDrawArrays(GL_QUADS, 0, TUBE_VERTICES);
        glDisableClientState(GL_NORMAL_ARRAY);
        glDisableClientState(GL_VERTEX_ARRAY);
    } else {
        drawPreparedTubeImmediate(tubeWay == TUBE_IMMEDIATE_AS_SCENE, tubeWay != TUBE_IMMEDIATE_ONE_PAIR);
    }
    knotDrawAfterTube();
}

void frame(void (*draw)())
{
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glLoadIdentity();
    draw();
    glBindTexture(GL_TEXTURE_2D, 0);
}

// Pixels whose colour differs between the two ways of drawing, so that the batch is known to
// draw what the scene draws.
int differingPixels()
{
    std::vector<uint8_t> asDrawn(SCREEN_WIDTH * SCREEN_HEIGHT * 4);
    frame(knotSceneDraw);
    const uint8_t* a = offscreenFrame();
    asDrawn.assign(a, a + asDrawn.size());
    frame(drawBatchedScene);
    const uint8_t* b = offscreenFrame();
    int differing = 0;
    int lit = 0;
    for (size_t i = 0; i < asDrawn.size(); i += 4) {
        differing += std::abs(asDrawn[i] - b[i]) + std::abs(asDrawn[i + 1] - b[i + 1]) +
                             std::abs(asDrawn[i + 2] - b[i + 2]) > 3
                         ? 1
                         : 0;
        lit += asDrawn[i + 1] > 20 || asDrawn[i + 2] > 20 ? 1 : 0;
    }
    return lit > 1000 ? differing : -1;
}

void BM_KnotTubeAsDrawn(benchmark::State& state)
{
    if (!prepare()) {
        state.SkipWithError("no offscreen GL context");
        return;
    }
    for (auto _ : state) {
        frame(knotSceneDraw);
        benchmark::DoNotOptimize(offscreenFrame());
    }
    state.counters["quads"] = KNOT_SEGMENT_COUNT * QUADS_PER_RING;
}
BENCHMARK(BM_KnotTubeAsDrawn)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_KnotTubeOneBatch(benchmark::State& state)
{
    if (!prepare()) {
        state.SkipWithError("no offscreen GL context");
        return;
    }
    buildTube();
    const int differing = differingPixels();
    for (auto _ : state) {
        frame(drawBatchedScene);
        benchmark::DoNotOptimize(offscreenFrame());
    }
    state.counters["quads"] = KNOT_SEGMENT_COUNT * QUADS_PER_RING;
    // -1: the scene drew no tube to compare with.
    state.counters["differingPixels"] = differing;
}
BENCHMARK(BM_KnotTubeOneBatch)->Unit(benchmark::kMillisecond)->UseRealTime();

// Where the difference lies: the scene's GL calls from prepared quads (no math), then without
// the per-quad bind, then with one glBegin/glEnd pair for the whole tube.
void BM_KnotTubePreparedImmediate(benchmark::State& state)
{
    if (!prepare()) {
        state.SkipWithError("no offscreen GL context");
        return;
    }
    buildTube();
    tubeWay = static_cast<TubeWay>(state.range(0));
    for (auto _ : state) {
        frame(drawBatchedScene);
        benchmark::DoNotOptimize(offscreenFrame());
    }
    tubeWay = TUBE_ARRAYS;
}
BENCHMARK(BM_KnotTubePreparedImmediate)
    ->ArgName("way")
    ->Arg(TUBE_IMMEDIATE_AS_SCENE)
    ->Arg(TUBE_IMMEDIATE_NO_BINDS)
    ->Arg(TUBE_IMMEDIATE_ONE_PAIR)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

}  // namespace
