// One whole frame of the tunnel scene with both particle pools full, on Mesa's software
// renderer offscreen: clear, the scene's drawing, and the wait for the finished pixels.
#include <benchmark/benchmark.h>

#include "bench/full_pools.h"
#include "platform/offscreen/window_offscreen.h"
#include "scenes/tunnel/particles.h"
#include "scenes/tunnel/scroller.h"
#include "scenes/tunnel/tunnel_scene.h"
#include "scenes/tunnel/tunnel_state.h"
#include "shell/gl.h"
#include "shell/window.h"

namespace {

void BM_TunnelFramePixelsFullPools(benchmark::State& state)
{
    static bool windowMade = false;
    if (!windowMade) {
        createDemoWindow();
        tunnelSceneInit();
        windowMade = true;
    }
    if (windowCore.running != 1) {
        state.SkipWithError("no offscreen GL context");
        return;
    }
    fillParticlePools();
    tunnelScene.travelPosition = 12.3f;
    tunnelScene.wobbleAngle = 4.5f;
    scroller.scrollPosition = 96.0f;
    for (auto _ : state) {
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        glLoadIdentity();
        tunnelSceneDraw();
        glBindTexture(GL_TEXTURE_2D, 0);
        benchmark::DoNotOptimize(offscreenFrame());
    }
}
// Mesa renders on worker threads, so the wall time is the frame time.
BENCHMARK(BM_TunnelFramePixelsFullPools)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
