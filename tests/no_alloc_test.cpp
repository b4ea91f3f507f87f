// The demo allocates nothing once it has started: every pass of the main loop, in both scenes,
// with the tunnel's particle pools full and the scroller running, is watched by a counting
// allocator. The whole run is the real demoMain with the real scene table, on the recorded GL
// (counting calls only), the scripted window and the fake clock; between passes the test
// moves the clock, raises beats and keeps the pools full, with counting paused.
#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <new>
#include <vector>

#include "music/player.h"
#include "scenes/knot/knot_state.h"
#include "scenes/tunnel/particles.h"
#include "scenes/tunnel/scroller.h"
#include "shell/demo.h"
#include "shell/scenes.h"
#include "shell/window.h"
#include "tests/fakes/fake_clock.h"
#include "tests/fakes/fake_window.h"
#include "tests/fakes/gl_recorder.h"
#include "tests/fakes/null_output.h"
#include "tools/xm/xm_writer.h"

#if defined(__SANITIZE_ADDRESS__)
#define YARVIK_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define YARVIK_ASAN 1
#endif
#endif

namespace {

std::atomic<bool> counting{false};
std::atomic<long> allocations{0};

void noteAllocation()
{
    if (counting.load(std::memory_order_relaxed)) {
        allocations.fetch_add(1, std::memory_order_relaxed);
    }
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// The counting hook. Under AddressSanitizer its allocator reports every allocation to a hook;
// otherwise the C allocator and operator new are replaced by counting ones that hand the work
// on to glibc's own allocator.
#ifdef YARVIK_ASAN
// From the sanitizer runtime's allocator interface (its header is not installed with every
// compiler): the hooks are called on every allocation and release.
extern "C" int __sanitizer_install_malloc_and_free_hooks(void (*mallocHook)(const volatile void*, size_t),
                                                         void (*freeHook)(const volatile void*));

namespace {
void mallocHook(const volatile void*, size_t) { noteAllocation(); }
void freeHook(const volatile void*) {}
[[maybe_unused]] const int hooksInstalled = __sanitizer_install_malloc_and_free_hooks(mallocHook, freeHook);
}  // namespace
#else
extern "C" {
void* __libc_malloc(size_t size);
void* __libc_calloc(size_t count, size_t size);
void* __libc_realloc(void* p, size_t size);
void* __libc_memalign(size_t alignment, size_t size);
void __libc_free(void* p);

void* malloc(size_t size)
{
    noteAllocation();
    return __libc_malloc(size);
}

void* calloc(size_t count, size_t size)
{
    noteAllocation();
    return __libc_calloc(count, size);
}

void* realloc(void* p, size_t size)
{
    noteAllocation();
    return __libc_realloc(p, size);
}

void* memalign(size_t alignment, size_t size)
{
    noteAllocation();
    return __libc_memalign(alignment, size);
}

void* aligned_alloc(size_t alignment, size_t size)
{
    noteAllocation();
    return __libc_memalign(alignment, size);
}

int posix_memalign(void** out, size_t alignment, size_t size)
{
    noteAllocation();
    void* p = __libc_memalign(alignment, size);
    if (p == nullptr) {
        return ENOMEM;
    }
    *out = p;
    return 0;
}

void free(void* p) { __libc_free(p); }
}  // extern "C"

static void* countedNew(size_t size)
{
    noteAllocation();
    void* p = __libc_malloc(size == 0 ? 1 : size);
    if (p == nullptr) {
        std::abort();
    }
    return p;
}

void* operator new(size_t size) { return countedNew(size); }
void* operator new[](size_t size) { return countedNew(size); }
void operator delete(void* p) noexcept { __libc_free(p); }
void operator delete[](void* p) noexcept { __libc_free(p); }
void operator delete(void* p, size_t) noexcept { __libc_free(p); }
void operator delete[](void* p, size_t) noexcept { __libc_free(p); }
#endif

namespace {

constexpr uint32_t PASS_MS = 26;            // one logic step on every pass
constexpr int BEAT_EVERY = 16;              // passes between beats
constexpr int PUMP_LIMIT = 20000;           // a run that does not end by itself is stopped here
constexpr int SCROLLED_ROWS = 6;            // rows of text inside the band before the music stops
constexpr float BAND_BOTTOM = 32.0f;
constexpr float LINE_SPACING = 14.0f;

struct Pass {
    int scene;
    long allocations;
};

struct Run {
    std::vector<Pass> passes;  // reserved before the loop: filled while counting is paused
    int pumps = 0;
    int fullPoolPasses = 0;    // tunnel passes that began with both pools full
    bool playedOwnModule = false;
    bool stoppedByLimit = false;
    std::vector<uint8_t> module;
};

Run run;

// A one-pattern module: something for the player to hold while no CHIP1 is embedded. Nothing
// renders it here, so it plays until the test stops it.
std::vector<uint8_t> placeholderModule()
{
    XmModule m;
    m.channels = 2;
    m.instruments.resize(1);
    XmSample tone;
    for (int i = 0; i < 64; i++) {
        tone.data.push_back(i < 32 ? 8000 : -8000);
    }
    m.instruments[0].samples.push_back(tone);
    m.patterns.resize(1);
    m.patterns[0].at(0, 0, m.channels).note = 49;
    m.orders.push_back(0);
    return xmWrite(m);
}

int liveCount(const Particle* pool, int size)
{
    int n = 0;
    for (int i = 0; i < size; ++i) {
        n += pool[i].alive == 1 ? 1 : 0;
    }
    return n;
}

// Every dot, then every spark that has fallen off since: emissions take the free records.
void fillPools()
{
    while (liveCount(particleField.dots, DOT_POOL_SIZE) < DOT_POOL_SIZE) {
        emitParticles(320.0f, 400.0f, 128, 128, 128);
    }
    while (liveCount(particleField.sparks, SPARK_POOL_SIZE) < SPARK_POOL_SIZE) {
        emitParticles(320.0f, 400.0f, 128, 128, 128);
    }
}

// Between two passes, with counting paused: closes the pass that has just run, then prepares
// the next one.
void betweenPasses()
{
    counting.store(false);
    const long counted = allocations.exchange(0);
    if (run.pumps > 0) {
        run.passes.back().allocations = counted;
    }
    ++run.pumps;

    if (run.pumps == 1 && !isModulePlaying()) {
        run.module = placeholderModule();
        run.playedOwnModule = playModule(run.module.data(), static_cast<uint32_t>(run.module.size())) == 1;
    }
    fakeClockAdvance(PASS_MS);
    if (run.pumps % BEAT_EVERY == 0) {
        onBeatInstrument();
    }
    const int scene = demoSceneIndex();
    if (scene == 2) {
        fillPools();
        ++run.fullPoolPasses;
        const float lastRowShown = scroller.scrollPosition - LINE_SPACING * SCROLLED_ROWS;
        if (lastRowShown > BAND_BOTTOM && isModulePlaying()) {
            stopModule();  // the tunnel fades out and the sequence ends
        }
    }
    if (run.pumps >= PUMP_LIMIT) {
        run.stoppedByLimit = true;
        windowCore.running = 0;
    }
    run.passes.push_back(Pass{scene, -1});

    allocations.store(0);
    counting.store(true);
}

// Where the allocations go, so that no compiler may leave out an allocation it sees freed
// unused (clang does, under optimisation).
void* volatile escaped = nullptr;

TEST(CountingHook, CountsAllocationsMadeWhileCounting)
{
    allocations.store(0);
    counting.store(true);
    int* one = new int(7);
    escaped = one;
    void* block = std::malloc(64);
    escaped = block;
    std::vector<int> grown(100, 1);
    escaped = grown.data();
    counting.store(false);
    std::free(block);
    delete one;
    EXPECT_GE(allocations.exchange(0), 3) << "the hook does not see allocations: the main test would pass vacuously";

    void* unseen = std::malloc(32);
    escaped = unseen;
    std::free(unseen);
    EXPECT_EQ(allocations.load(), 0) << "allocations outside the counting window are counted";
}

TEST(MainLoop, AllocatesNothingInAnyPassOfEitherSceneWithFullPools)
{
    glRecorderReset();
    glrec.keepCalls = false;
    fakeWindowReset();
    nullOutputReset();
    fakeClockSet(1000000);
    fakeClockAdvanceOnRead(0);
    run.passes.reserve(PUMP_LIMIT + 1);
    fakeWindow.onPump = betweenPasses;

    const int status = demoMain();
    counting.store(false);
    fakeWindow.onPump = nullptr;

    ASSERT_EQ(status, 0);
    ASSERT_FALSE(run.stoppedByLimit) << "the run did not end by itself";
    // The last pump ended the loop; the entry it opened belongs to no pass.
    ASSERT_GT(run.passes.size(), 1u);
    run.passes.pop_back();

    int passesPerScene[3] = {0, 0, 0};
    long allocationsPerScene[3] = {0, 0, 0};
    int firstBadPass = -1;
    for (size_t i = 0; i < run.passes.size(); ++i) {
        const Pass& pass = run.passes[i];
        const int scene = pass.scene >= 1 && pass.scene <= 2 ? pass.scene : 0;
        ++passesPerScene[scene];
        allocationsPerScene[scene] += pass.allocations;
        if (pass.allocations != 0 && firstBadPass < 0) {
            firstBadPass = static_cast<int>(i);
        }
    }
    EXPECT_EQ(firstBadPass, -1) << "first allocating pass: " << firstBadPass << " (scene "
                                << (firstBadPass >= 0 ? run.passes[firstBadPass].scene : 0) << ", "
                                << (firstBadPass >= 0 ? run.passes[firstBadPass].allocations : 0)
                                << " allocations)";
    EXPECT_EQ(allocationsPerScene[1], 0) << "allocations in the knot scene's passes";
    EXPECT_EQ(allocationsPerScene[2], 0) << "allocations in the tunnel scene's passes";

    // The run covered what it claims: the knot's 30 seconds with its tube complete, and the
    // tunnel with full pools until the scroller's text stood in its band.
    EXPECT_GE(passesPerScene[1], 30000 / static_cast<int>(PASS_MS));
    EXPECT_EQ(knotScene.growthCount, KNOT_GROWTH_LIMIT);
    EXPECT_GE(passesPerScene[2], 400);
    EXPECT_EQ(run.fullPoolPasses, passesPerScene[2]);
    EXPECT_GT(scroller.scrollPosition - LINE_SPACING * SCROLLED_ROWS, BAND_BOTTOM);
    EXPECT_GT(demoSceneIndex(), DEMO_SCENE_COUNT) << "the sequence did not play to its end";
}

}  // namespace
