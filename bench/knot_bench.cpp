// One frame of the knot scene with the tube complete, through the recorded GL in counting
// mode: the demo's own CPU time for 180 segments of 32 quads (four ring points and two
// normalisations per corner), the twelve balls and the swirl.
#include <benchmark/benchmark.h>

#include "scenes/knot/knot_scene.h"
#include "scenes/knot/knot_state.h"
#include "tests/fakes/fake_clock.h"
#include "tests/fakes/gl_recorder.h"

namespace {

void BM_KnotSceneDrawCompleteTube(benchmark::State& state)
{
    glRecorderReset();
    fakeClockSet(10000);
    knotSceneInit();
    for (int i = 0; i < 200; ++i) {
        knotSceneStep();
    }
    glrec.keepCalls = false;
    for (auto _ : state) {
        glrec.callCount = 0;
        glLoadIdentity();
        knotSceneDraw();
        benchmark::DoNotOptimize(glrec.callCount);
    }
    state.counters["glCalls"] = static_cast<double>(glrec.callCount);
}
BENCHMARK(BM_KnotSceneDrawCompleteTube)->Unit(benchmark::kMicrosecond);

}  // namespace
