// The scenes' frames through desktop GL and through the GL 1.1 layer on ES 2, both on Mesa's
// software renderer: the whole frame (clear, the scene's drawing, the wait for the pixels), and
// for the layer the draws it made of it. Argument 0: desktop GL; 1: the layer.
#include <benchmark/benchmark.h>

#include "platform/gles2/gles2.h"
#include "platform/offscreen/window_offscreen.h"
#include "scenes/knot/knot_scene.h"
#include "scenes/knot/knot_state.h"
#include "scenes/tunnel/particles.h"
#include "scenes/tunnel/tunnel_scene.h"
#include "scenes/tunnel/tunnel_state.h"
#include "shell/gl.h"
#include "shell/gl_state.h"
#include "shell/window.h"
#include "tests/fakes/fake_clock.h"

namespace {

void openWindow(benchmark::State& state)
{
    destroyDemoWindow();
    offscreenGles2 = state.range(0) != 0;
    createDemoWindow();
    if (windowCore.running != 1) {
        state.SkipWithError("no GL context");
    }
}

void measureFrames(benchmark::State& state, void (*draw)())
{
    const long before = gles2Counters().draws;
    for (auto _ : state) {
        clearFrame();
        glLoadIdentity();
        draw();
        glBindTexture(GL_TEXTURE_2D, 0);
        benchmark::DoNotOptimize(offscreenFrame());
    }
    const double draws = static_cast<double>(gles2Counters().draws - before);
    state.counters["draws"] = draws / static_cast<double>(state.iterations());
}

// The knot with its tube complete: 5,760 one-quad batches a frame.
void BM_Gles2KnotFrame(benchmark::State& state)
{
    openWindow(state);
    fakeClockSet(10000);
    knotScene = KNOT_START_STATE;
    knotSceneInit();
    for (int i = 0; i < 200; ++i) {
        knotSceneStep();
    }
    measureFrames(state, knotSceneDraw);
}
BENCHMARK(BM_Gles2KnotFrame)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

// The tunnel with the particle figure drawn.
void BM_Gles2TunnelFrame(benchmark::State& state)
{
    openWindow(state);
    fakeClockSet(50000);
    tunnelScene = TUNNEL_START_STATE;
    tunnelSceneInit();
    particlesInit();
    for (int i = 0; i < 400; ++i) {
        fakeClockSet(50000 + 26 * static_cast<uint32_t>(i));
        tunnelSceneStep();
    }
    measureFrames(state, tunnelSceneDraw);
}
BENCHMARK(BM_Gles2TunnelFrame)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

}  // namespace
