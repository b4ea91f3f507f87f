// One frame of the tunnel scene with both particle pools full, through the recorded GL in
// counting mode: the demo's own CPU time for 27 rings of 32 quads, the sprite, 10000 dots,
// 1000 sparks and the scroller's band.
#include <benchmark/benchmark.h>

#include "bench/full_pools.h"
#include "scenes/tunnel/particles.h"
#include "scenes/tunnel/scroller.h"
#include "scenes/tunnel/tunnel_scene.h"
#include "scenes/tunnel/tunnel_state.h"
#include "tests/fakes/gl_recorder.h"

namespace {

void BM_TunnelSceneDrawFullPools(benchmark::State& state)
{
    glRecorderReset();
    glrec.keepCalls = false;
    fillParticlePools();
    tunnelScene.travelPosition = 12.3f;
    tunnelScene.wobbleAngle = 4.5f;
    scroller.scrollPosition = 96.0f;  // five rows in the band
    for (auto _ : state) {
        glrec.callCount = 0;
        glLoadIdentity();
        tunnelSceneDraw();
        benchmark::DoNotOptimize(glrec.callCount);
    }
    state.counters["glCalls"] = static_cast<double>(glrec.callCount);
}
BENCHMARK(BM_TunnelSceneDrawFullPools)->Unit(benchmark::kMicrosecond);

}  // namespace
