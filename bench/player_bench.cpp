// Offline rendering speed of the music player: a 16-channel module with a note on every channel
// of every row, pulled through the test output as the device would pull it. The counter
// "realtime" is seconds of music per second of CPU time.
#include <benchmark/benchmark.h>

#include <vector>

#include "music/player.h"
#include "tests/fakes/null_output.h"
#include "tools/xm/xm_writer.h"

namespace {

constexpr int CHANNELS = 16;
constexpr int DEVICE_FRAMES = 4096;

// Sixteen channels busy on every row: eight looped instruments of 2000-frame waves with
// volume envelopes, notes spread over four octaves, and the silent marker on the beat rows.
std::vector<uint8_t> busyModule()
{
    XmModule module;
    module.channels = CHANNELS;
    module.speed = 6;
    module.bpm = 108;
    module.instruments.resize(9);
    for (int i = 0; i < 7; i++) {
        XmSample wave;
        for (int frame = 0; frame < 2000; frame++) {
            wave.data.push_back(static_cast<int16_t>(((frame * (i + 3)) % 200 - 100) * 250));
        }
        wave.loopStart = 500;
        wave.loopLength = 1500;
        wave.loopType = 1 + i % 2;
        module.instruments[i].samples.push_back(wave);
        module.instruments[i].volumeEnvelope = {{0, 64}, {20, 40}, {80, 0}};
        module.instruments[i].fadeout = 512;
    }
    module.instruments[8].samples.push_back(XmSample{});
    module.patterns.resize(4);
    for (int p = 0; p < 4; p++) {
        XmPattern& pattern = module.patterns[p];
        for (int row = 0; row < 64; row++) {
            for (int channel = 0; channel < CHANNELS; channel++) {
                XmCell& cell = pattern.at(row, channel, CHANNELS);
                cell.note = static_cast<uint8_t>(25 + (row * 7 + channel * 5 + p * 3) % 48);
                cell.instrument = static_cast<uint8_t>(channel == 15 ? 9 : 1 + (channel + row) % 7);
            }
            pattern.at(row, 0, CHANNELS).effect = 0x0f;
            pattern.at(row, 0, CHANNELS).param = row % 2 == 0 ? 84 : 108;
        }
        module.orders.push_back(p);
    }
    return xmWrite(module);
}

void BM_RenderSixteenChannels(benchmark::State& state)
{
    std::vector<uint8_t> bytes = busyModule();
    std::vector<int16_t> out(DEVICE_FRAMES * OUTPUT_CHANNELS);
    nullOutputReset();
    startSound();
    playModule(bytes.data(), static_cast<uint32_t>(bytes.size()));
    int64_t frames = 0;
    for (auto _ : state) {
        if (!isModulePlaying()) {
            state.PauseTiming();
            playModule(bytes.data(), static_cast<uint32_t>(bytes.size()));
            state.ResumeTiming();
        }
        nullOutputPull(out.data(), DEVICE_FRAMES);
        benchmark::DoNotOptimize(out.data());
        frames += DEVICE_FRAMES;
    }
    shutdownSound();
    state.counters["realtime"] =
        benchmark::Counter(static_cast<double>(frames) / MIXING_RATE, benchmark::Counter::kIsRate);
}
BENCHMARK(BM_RenderSixteenChannels)->Unit(benchmark::kMicrosecond);

}  // namespace
