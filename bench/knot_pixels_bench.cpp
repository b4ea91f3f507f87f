// One whole frame of the knot scene with the tube complete, on Mesa's software renderer
// offscreen: clear, the scene's drawing, and the wait for the finished pixels.
#include <benchmark/benchmark.h>

#include "platform/offscreen/window_offscreen.h"
#include "scenes/knot/knot_scene.h"
#include "scenes/knot/knot_state.h"
#include "shell/gl.h"
#include "shell/window.h"
#include "tests/fakes/fake_clock.h"

namespace {

void BM_KnotFramePixelsCompleteTube(benchmark::State& state)
{
    static bool windowMade = false;
    if (!windowMade) {
        createDemoWindow();
        fakeClockSet(10000);
        knotSceneInit();
        for (int i = 0; i < 200; ++i) {
            knotSceneStep();
        }
        windowMade = true;
    }
    if (windowCore.running != 1) {
        state.SkipWithError("no offscreen GL context");
        return;
    }
    for (auto _ : state) {
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        glLoadIdentity();
        knotSceneDraw();
        glBindTexture(GL_TEXTURE_2D, 0);
        benchmark::DoNotOptimize(offscreenFrame());
    }
}
BENCHMARK(BM_KnotFramePixelsCompleteTube)->Unit(benchmark::kMillisecond);

}  // namespace
