// The music player, driven without a device: the tests pull audio through musicRender and read
// the beat, the playing state and the samples it hands out.
#include <gtest/gtest.h>

#include <xmp.h>

#include <vector>

#include "music/player.h"
#include "tests/support/null_output.h"
#include "tools/xm/xm_writer.h"

namespace {

constexpr int CHANNELS = 4;
constexpr int SPEED = 6;

// Frames in one row at `bpm`: libxmp plays ticks of 2.5 / bpm seconds, whole frames.
int rowFrames(int bpm) { return SPEED * (MIXING_RATE * 5 / 2 / bpm); }

// Nine instruments as in the demo's module: 1..7 a looped square tone, 8 without a sample,
// 9 the silent marker, one sample of length 0.
std::vector<XmInstrument> demoInstruments()
{
    std::vector<XmInstrument> instruments(9);
    XmSample tone;
    for (int i = 0; i < 64; i++) tone.data.push_back(i < 32 ? 12000 : -12000);
    tone.loopLength = 64;
    tone.loopType = 1;
    for (int i = 0; i < 7; i++) instruments[i].samples.push_back(tone);
    instruments[8].samples.push_back(XmSample{});
    return instruments;
}

XmModule emptyModule(int patterns, int rows)
{
    XmModule module;
    module.channels = CHANNELS;
    module.speed = SPEED;
    module.bpm = 125;
    module.instruments = demoInstruments();
    module.patterns.resize(patterns);
    for (XmPattern& pattern : module.patterns) {
        pattern.rows = rows;
        pattern.at(0, 0, CHANNELS);
    }
    for (int i = 0; i < patterns; i++) module.orders.push_back(i);
    return module;
}

XmCell& cell(XmModule& module, int pattern, int row, int channel)
{
    return module.patterns[pattern].at(row, channel, CHANNELS);
}

std::vector<uint8_t> loaded;

// Opens the test output and plays `module`; fails the test when it does not load.
void play(const XmModule& module)
{
    loaded = xmWrite(module);
    startSound();
    ASSERT_EQ(playModule(loaded.data(), static_cast<uint32_t>(loaded.size())), 1);
}

// Pulls `frames` frames one at a time and returns the frame indices at which a beat was
// raised: a beat raised at a row's start shows on the row's first frame.
std::vector<int> beatFrames(int frames)
{
    std::vector<int> found;
    int16_t out[OUTPUT_CHANNELS];
    for (int frame = 0; frame < frames; frame++) {
        musicRender(out, 1);
        if (takeBeat()) found.push_back(frame);
    }
    return found;
}

std::vector<int16_t> render(int frames, int chunk)
{
    std::vector<int16_t> out(static_cast<size_t>(frames) * OUTPUT_CHANNELS);
    for (int done = 0; done < frames; done += chunk) {
        int count = std::min(chunk, frames - done);
        musicRender(out.data() + static_cast<size_t>(done) * OUTPUT_CHANNELS, count);
    }
    return out;
}

bool silent(const std::vector<int16_t>& samples, size_t from, size_t to)
{
    for (size_t i = from; i < to; i++) {
        if (samples[i] != 0) return false;
    }
    return true;
}

class Player : public ::testing::Test {
protected:
    void SetUp() override
    {
        shutdownSound();
        nullOutputReset();
        musicPlaying = 0;
        takeBeat();
    }
    void TearDown() override { shutdownSound(); }
};

TEST_F(Player, TakeBeatReportsAPendingBeatOnlyOnce)
{
    onBeatInstrument();
    EXPECT_EQ(takeBeat(), 1);
    EXPECT_EQ(takeBeat(), 0);
}

TEST_F(Player, BeatsBeforeATakeMergeIntoOne)
{
    onBeatInstrument();
    onBeatInstrument();
    EXPECT_EQ(takeBeat(), 1);
    EXPECT_EQ(takeBeat(), 0);
}

TEST_F(Player, TakeBeatWithoutABeatIsZero) { EXPECT_EQ(takeBeat(), 0); }

TEST_F(Player, BeatsRiseExactlyOnRowsThatPlayTheBeatInstrument)
{
    XmModule module = emptyModule(1, 16);
    cell(module, 0, 0, 0) = {49, 9, 0, 0, 0};        // beat
    cell(module, 0, 1, 1) = {49, 1, 0, 0, 0};        // another instrument
    cell(module, 0, 2, 0) = {50, 9, 0, 0, 0};        // two beat notes on one row: one beat
    cell(module, 0, 2, 2) = {52, 9, 0, 0, 0};
    cell(module, 0, 3, 0) = {97, 0, 0, 0, 0};        // key-off on the beat channel
    cell(module, 0, 4, 0) = {0, 9, 0, 0, 0};         // instrument without a note
    cell(module, 0, 5, 0) = {49, 0, 0, 0, 0};        // note on a channel left at instrument 9
    cell(module, 0, 6, 0) = {49, 1, 0, 0, 0};        // the channel changes instrument
    cell(module, 0, 7, 0) = {49, 0, 0, 0, 0};        // ...so its next bare note is no beat
    cell(module, 0, 8, 3) = {49, 8, 0, 0, 0};        // the instrument without a sample
    cell(module, 0, 9, 3) = {49, 9, 0, 0x0f, 150};  // beat on a row that sets 150 BPM
    cell(module, 0, 10, 1) = {0, 0, 0x40, 0x0f, 175};  // tempo change alone
    cell(module, 0, 12, 2) = {97, 9, 0, 0, 0};       // key-off naming instrument 9
    cell(module, 0, 14, 1) = {25, 9, 0x30, 0, 0};    // beat with a volume
    cell(module, 0, 15, 2) = {60, 0, 0, 0, 0};       // bare note, channel 2 last named 9
    play(module);

    std::vector<int> rowStart;
    int frame = 0;
    for (int row = 0; row <= 16; row++) {
        rowStart.push_back(frame);
        frame += rowFrames(row < 9 ? 125 : row < 10 ? 150 : 175);
    }
    std::vector<int> expected = {rowStart[0], rowStart[2], rowStart[5], rowStart[9], rowStart[14],
                                 rowStart[15]};
    EXPECT_EQ(beatFrames(rowStart[16] + rowFrames(175)), expected);
}

TEST_F(Player, BeatRowsAreFoundInEveryPatternOfTheSong)
{
    XmModule module = emptyModule(2, 8);
    module.orders = {1, 0, 1};
    cell(module, 0, 3, 1) = {49, 9, 0, 0, 0};
    cell(module, 1, 7, 3) = {49, 9, 0, 0, 0};
    play(module);

    int row = rowFrames(125);
    EXPECT_EQ(beatFrames(26 * row), (std::vector<int>{7 * row, 11 * row, 23 * row}));
}

TEST_F(Player, SongEndsAfterItsLastOrderWithoutLooping)
{
    XmModule module = emptyModule(2, 4);
    module.orders = {0, 1};
    for (int pattern = 0; pattern < 2; pattern++) {
        for (int row = 0; row < 4; row++) cell(module, pattern, row, 0) = {49, 1, 0, 0, 0};
    }
    cell(module, 0, 0, 1) = {49, 9, 0, 0, 0};
    play(module);
    const int songFrames = 8 * rowFrames(125);

    std::vector<int16_t> song = render(songFrames, 1000);
    EXPECT_EQ(takeBeat(), 1);
    EXPECT_EQ(isModulePlaying(), 1);
    EXPECT_FALSE(silent(song, song.size() - 2 * OUTPUT_CHANNELS, song.size())) << "the tone plays to the end";

    std::vector<int16_t> after = render(4 * songFrames, 1000);
    EXPECT_TRUE(silent(after, 0, after.size())) << "the song started again";
    EXPECT_EQ(takeBeat(), 0) << "the first row played again";
    for (int i = 0; i < 3; i++) EXPECT_EQ(isModulePlaying(), 0);
    EXPECT_EQ(musicPlaying, 0);
    EXPECT_NE(moduleHandle, nullptr) << "an ended module stays loaded until stopped";
}

TEST_F(Player, SongEndsAtItsRestartPositionToo)
{
    XmModule module = emptyModule(2, 4);
    module.orders = {0, 1};
    module.restart = 1;
    cell(module, 1, 0, 0) = {49, 9, 0, 0, 0};
    play(module);

    EXPECT_EQ(beatFrames(3 * 8 * rowFrames(125)), std::vector<int>{4 * rowFrames(125)});
    EXPECT_EQ(isModulePlaying(), 0);
}

TEST_F(Player, ChunkSizeDoesNotChangeTheAudio)
{
    XmModule module = emptyModule(1, 8);
    for (int row = 0; row < 8; row++) cell(module, 0, row, row % CHANNELS) = {static_cast<uint8_t>(40 + row), 1, 0, 0, 0};
    cell(module, 0, 4, 0).effect = 0x0f;
    cell(module, 0, 4, 0).param = 97;
    const int frames = 9 * rowFrames(97);

    play(module);
    std::vector<int16_t> whole = render(frames, frames);
    stopModule();
    play(module);
    std::vector<int16_t> pieces = render(frames, 333);
    stopModule();
    play(module);
    std::vector<int16_t> device = render(frames, 4096);

    EXPECT_FALSE(silent(whole, 0, whole.size()));
    EXPECT_EQ(pieces, whole);
    EXPECT_EQ(device, whole);
}

TEST_F(Player, StartSoundOpensAPausedStereo16BitOutput)
{
    startSound();
    EXPECT_EQ(nullOutput.open, 1);
    EXPECT_EQ(nullOutput.rate, 44100);
    EXPECT_EQ(nullOutput.channels, 2);
    EXPECT_EQ(nullOutput.frames, 4096);
    EXPECT_EQ(nullOutput.render, &musicRender);
    EXPECT_EQ(nullOutput.running, 0);

    play(emptyModule(1, 4));
    EXPECT_EQ(nullOutput.running, 1);
    EXPECT_EQ(musicPlaying, 1);
    EXPECT_EQ(nullOutput.lockDepth, 0);
}

TEST_F(Player, ModulePlaysAtThreeQuartersOfLibxmpsFullVolume)
{
    play(emptyModule(1, 4));
    EXPECT_EQ(xmp_get_player(static_cast<xmp_context>(moduleHandle), XMP_PLAYER_VOLUME), 75);
}

TEST_F(Player, WithoutAModuleThePlayingStateIsTheCachedOne)
{
    EXPECT_EQ(isModulePlaying(), 0) << "before any module";
    startSound();
    const unsigned char junk[] = "not a module at all, only some text";
    EXPECT_EQ(playModule(junk, sizeof junk), 0);
    EXPECT_EQ(moduleHandle, nullptr);
    EXPECT_EQ(isModulePlaying(), 0) << "after a failed load";
    EXPECT_EQ(nullOutput.running, 0) << "a failed load starts the output";

    // Nothing is asked: a cached 1 stays 1 when no module is there to refresh it.
    musicPlaying = 1;
    EXPECT_EQ(isModulePlaying(), 1);
}

TEST_F(Player, StopModuleFreesTheModuleAndSilencesTheOutput)
{
    XmModule module = emptyModule(1, 16);
    for (int row = 0; row < 16; row++) cell(module, 0, row, 0) = {49, 9, 0, 0, 0};
    cell(module, 0, 0, 1) = {49, 1, 0, 0, 0};
    play(module);
    render(1000, 1000);
    takeBeat();

    stopModule();
    EXPECT_EQ(moduleHandle, nullptr);
    EXPECT_EQ(musicPlaying, 0);
    EXPECT_EQ(nullOutput.lockDepth, 0);
    std::vector<int16_t> after = render(4 * rowFrames(125), 1000);
    EXPECT_TRUE(silent(after, 0, after.size()));
    EXPECT_EQ(takeBeat(), 0);
    EXPECT_EQ(isModulePlaying(), 0);
}

TEST_F(Player, ShutdownWithoutAModuleOnlyClosesTheOutput)
{
    startSound();
    int locksBefore = nullOutput.locks;
    shutdownSound();
    EXPECT_EQ(nullOutput.closes, 1);
    EXPECT_EQ(nullOutput.open, 0);
    EXPECT_EQ(nullOutput.locks, locksBefore) << "the player was touched";
}

TEST_F(Player, ShutdownStopsThePlayingModuleFirst)
{
    play(emptyModule(1, 4));
    shutdownSound();
    EXPECT_EQ(moduleHandle, nullptr);
    EXPECT_EQ(nullOutput.closes, 1);
    EXPECT_EQ(isModulePlaying(), 0);
}

TEST_F(Player, NoModulePlaysWithoutAnOutputToPullIt)
{
    nullOutputReset(1);
    startSound();
    std::vector<uint8_t> bytes = xmWrite(emptyModule(1, 4));
    EXPECT_EQ(playModule(bytes.data(), static_cast<uint32_t>(bytes.size())), 0);
    EXPECT_EQ(isModulePlaying(), 0);
}

TEST_F(Player, PlayingASecondModuleReplacesTheFirst)
{
    XmModule first = emptyModule(1, 4);
    cell(first, 0, 0, 0) = {49, 9, 0, 0, 0};
    XmModule second = emptyModule(1, 4);
    cell(second, 0, 2, 0) = {49, 9, 0, 0, 0};
    play(first);
    render(10, 10);
    takeBeat();
    play(second);
    EXPECT_EQ(beatFrames(5 * rowFrames(125)), std::vector<int>{2 * rowFrames(125)});
}

void expectRefused(const unsigned char* bytes, size_t length, const char* what)
{
    EXPECT_EQ(playModule(bytes, static_cast<uint32_t>(length)), 0) << what;
    EXPECT_EQ(moduleHandle, nullptr) << what;
    EXPECT_EQ(musicPlaying, 0) << what;
    EXPECT_EQ(isModulePlaying(), 0) << what;
}

TEST_F(Player, BytesThatAreNoModuleFailToLoad)
{
    startSound();
    std::vector<unsigned char> garbage(8192);
    uint32_t seed = 12345;
    for (unsigned char& byte : garbage) {
        seed = seed * 1103515245u + 12345u;
        byte = static_cast<unsigned char>(seed >> 16);
    }
    expectRefused(garbage.data(), garbage.size(), "random bytes");
    std::vector<unsigned char> zeros(4096, 0);
    expectRefused(zeros.data(), zeros.size(), "zeros");
    std::vector<unsigned char> header(garbage);
    const char signature[] = "Extended Module: ";
    std::copy(signature, signature + 17, header.begin());
    expectRefused(header.data(), header.size(), "XM signature, then random bytes");
    expectRefused(garbage.data(), 0, "empty range");
    expectRefused(nullptr, 0, "no bytes");
}

TEST_F(Player, TruncatedModulesFailToLoadOrPlaySafely)
{
    XmModule module = emptyModule(2, 16);
    for (int row = 0; row < 16; row++) cell(module, row % 2, row, row % CHANNELS) = {49, static_cast<uint8_t>(row % 9 + 1), 0, 0, 0};
    std::vector<uint8_t> bytes = xmWrite(module);
    startSound();
    for (size_t cut : {size_t{1}, size_t{17}, size_t{60}, size_t{200}, bytes.size() / 2, bytes.size() - 1}) {
        std::vector<uint8_t> truncated(bytes.begin(), bytes.begin() + static_cast<long>(cut));
        expectRefused(truncated.data(), truncated.size(), "truncated");
    }
    // libxmp accepts a few cuts (a module missing its trailing instruments, say); any prefix
    // either fails cleanly or plays.
    int16_t out[256 * OUTPUT_CHANNELS];
    for (size_t cut = 0; cut < bytes.size(); cut += 7) {
        std::vector<uint8_t> truncated(bytes.begin(), bytes.begin() + static_cast<long>(cut));
        if (playModule(truncated.data(), static_cast<uint32_t>(cut))) {
            musicRender(out, 256);
            stopModule();
        }
        EXPECT_EQ(moduleHandle, nullptr);
    }
}

}  // namespace
