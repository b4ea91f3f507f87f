// The music player, driven without a device: the tests pull audio as a device would, with its
// playback as far behind as they choose, and read the beat, the playing state and the samples.
#include <gtest/gtest.h>

#include <vector>

#include "music/player.h"
#include "tests/fakes/null_output.h"
#include "tools/xm/xm_writer.h"

namespace {

constexpr int CHANNELS = 4;

// Frames in one row at speed 6: libxmp plays ticks of 2.5 / bpm seconds, in whole frames.
int rowFrames(int bpm) { return 6 * (MIXING_RATE * 5 / 2 / bpm); }

// Nine instruments as in the demo's module: 1 a looped square tone, 8 without a sample, 9 the
// silent marker (one sample of length 0). `rows` rows per pattern, patterns in order.
XmModule module(int patterns, int rows)
{
    XmModule m;
    m.channels = CHANNELS;
    m.instruments.resize(9);
    XmSample tone;
    for (int i = 0; i < 64; i++) tone.data.push_back(i < 32 ? 12000 : -12000);
    tone.loopLength = 64;
    tone.loopType = 1;
    m.instruments[0].samples.push_back(tone);
    m.instruments[8].samples.push_back(XmSample{});
    m.patterns.resize(patterns, XmPattern{rows, {}});
    for (int i = 0; i < patterns; i++) m.orders.push_back(i);
    for (XmPattern& pattern : m.patterns) pattern.at(0, 0, CHANNELS);
    return m;
}

std::vector<uint8_t> bytes;

int play(const XmModule& m)
{
    bytes = xmWrite(m);
    return playModule(bytes.data(), static_cast<uint32_t>(bytes.size()));
}

// Pulls `frames` frames one at a time, taking the beat after each; returns the frames pulled
// (counted from 0 at the test's start) on which a beat was taken, and the audio in `audio`.
// Without lag a row's beat is taken on the row's first frame.
std::vector<int> beatFrames(int frames, std::vector<int16_t>* audio = nullptr)
{
    std::vector<int> found;
    int16_t out[OUTPUT_CHANNELS];
    for (int frame = 0; frame < frames; frame++) {
        nullOutputPull(out, 1);
        if (takeBeat()) found.push_back(frame);
        if (audio) audio->insert(audio->end(), out, out + OUTPUT_CHANNELS);
    }
    return found;
}

class Player : public ::testing::Test {
protected:
    void SetUp() override
    {
        shutdownSound();
        nullOutputReset();
        musicPlayer = MUSIC_PLAYER_START_STATE;
        startSound();
        takeBeat();
    }
    void TearDown() override
    {
        shutdownSound();
        musicPlayer = MUSIC_PLAYER_START_STATE;
    }
};

TEST_F(Player, TakeBeatReportsPendingBeatsOnceMerged)
{
    EXPECT_EQ(takeBeat(), 0);
    onBeatInstrument();
    EXPECT_EQ(takeBeat(), 1);
    EXPECT_EQ(takeBeat(), 0);
    onBeatInstrument();
    onBeatInstrument();
    EXPECT_EQ(takeBeat(), 1);
    EXPECT_EQ(takeBeat(), 0);
}

TEST_F(Player, BeatsRiseExactlyOnRowsThatPlayTheBeatInstrument)
{
    XmModule m = module(1, 16);
    auto cell = [&m](int row, int channel) -> XmCell& { return m.patterns[0].at(row, channel, CHANNELS); };
    cell(0, 0) = {49, 9, 0, 0, 0};          // beat
    cell(1, 1) = {49, 1, 0, 0, 0};          // another instrument
    cell(2, 0) = {50, 9, 0, 0, 0};          // two beat notes on one row: one beat
    cell(2, 2) = {52, 9, 0, 0, 0};
    cell(3, 0) = {97, 0, 0, 0, 0};          // key-off on the beat channel
    cell(4, 0) = {0, 9, 0, 0, 0};           // instrument without a note
    cell(5, 0) = {49, 0, 0, 0, 0};          // bare note, channel at instrument 9: beat
    cell(6, 0) = {49, 1, 0, 0, 0};          // the channel changes instrument...
    cell(7, 0) = {49, 0, 0, 0, 0};          // ...so its next bare note is none
    cell(8, 3) = {49, 8, 0, 0, 0};          // the instrument without a sample
    cell(9, 3) = {49, 9, 0, 0x0f, 150};     // beat on a row that sets 150 BPM
    cell(10, 1) = {0, 0, 0x40, 0x0f, 175};  // tempo change alone
    cell(12, 2) = {97, 9, 0, 0, 0};         // key-off naming instrument 9
    cell(15, 2) = {60, 0, 0x30, 0, 0};      // bare note, channel 2 last named 9: beat
    ASSERT_EQ(play(m), 1);

    std::vector<int> start{0};
    for (int row = 0; row < 16; row++) start.push_back(start.back() + rowFrames(row < 9 ? 125 : row < 10 ? 150 : 175));
    EXPECT_EQ(beatFrames(start[16] + 1000), (std::vector<int>{start[0], start[2], start[5], start[9], start[15]}));
}

TEST_F(Player, SongEndsAfterItsLastOrderWithoutLooping)
{
    XmModule m = module(2, 4);
    m.restart = 1;
    for (int row = 0; row < 8; row++) m.patterns[row / 4].at(row % 4, 0, CHANNELS) = {49, 1, 0, 0, 0};
    m.patterns[0].at(0, 1, CHANNELS) = {49, 9, 0, 0, 0};
    m.patterns[1].at(0, 1, CHANNELS) = {49, 9, 0, 0, 0};
    ASSERT_EQ(play(m), 1);
    const int song = 8 * rowFrames(125);

    std::vector<int16_t> audio;
    EXPECT_EQ(beatFrames(song, &audio), (std::vector<int>{0, song / 2}));
    EXPECT_EQ(isModulePlaying(), 1);
    EXPECT_NE(audio.back(), 0) << "the tone plays to the last frame";
    audio.clear();
    EXPECT_TRUE(beatFrames(3 * song, &audio).empty()) << "the song went back to its restart row";
    EXPECT_EQ(audio, std::vector<int16_t>(audio.size(), 0));
    EXPECT_EQ(isModulePlaying(), 0);
    EXPECT_EQ(isModulePlaying(), 0);
}

// The output plays what it pulls a fixed time later. Each beat is taken when its row's first
// frame is played, or as many milliseconds before as the lead says: none early, none lost,
// none twice, even with several rows rendered ahead. The end comes when the last frame plays.
TEST_F(Player, BeatsAndTheEndWaitUntilTheOutputPlaysThem)
{
    XmModule m = module(1, 80);
    for (int row = 0; row < 80; row++) {
        if (row % 7 != 3) m.patterns[0].at(row, 1 + row % 2, CHANNELS) = {49, 9, 0, 0, 0};
    }
    m.patterns[0].at(0, 0, CHANNELS) = {49, 1, 0, 0, 0};
    const int row = rowFrames(125);
    const int song = 80 * row;
    std::vector<int> rows;
    for (int r = 0; r < 80; r++) {
        if (r % 7 != 3) rows.push_back(r * row);
    }

    for (int lag : {1, row / 2, 3 * row + 17}) {
        for (int leadMs : {0, 40}) {
            const int lead = leadMs * MIXING_RATE / 1000;
            ASSERT_EQ(play(m), 1);
            const int64_t start = nullOutput.pulled;
            nullOutput.lagFrames = lag;
            setBeatLead(static_cast<uint32_t>(leadMs));
            std::vector<int> expected;
            for (int f : rows) expected.push_back(std::max(f, f + lag - lead - 1));
            std::vector<int> taken = beatFrames(song + lag - 1);
            EXPECT_EQ(taken, expected) << "lag " << lag << ", lead " << leadMs << " ms";
            EXPECT_EQ(isModulePlaying(), 1) << "the last frame has not been played: lag " << lag;
            beatFrames(1);
            EXPECT_EQ(nullOutput.pulled - start - lag, song);
            EXPECT_EQ(isModulePlaying(), 0) << "lag " << lag;
            stopModule();
        }
    }
}

// Beats played together by the time of one step count once.
TEST_F(Player, BeatsHeardTogetherAreTakenOnce)
{
    XmModule m = module(1, 4);
    m.patterns[0].at(1, 1, CHANNELS) = {49, 9, 0, 0, 0};
    m.patterns[0].at(2, 1, CHANNELS) = {49, 9, 0, 0, 0};
    m.patterns[0].at(3, 1, CHANNELS) = {49, 9, 0, 0, 0};
    ASSERT_EQ(play(m), 1);
    nullOutput.lagFrames = 3 * rowFrames(125);
    std::vector<int16_t> out(3 * rowFrames(125) * OUTPUT_CHANNELS);
    nullOutputPull(out.data(), 3 * rowFrames(125));  // rows 0 to 2 rendered, none played
    EXPECT_EQ(takeBeat(), 0);
    nullOutput.lagFrames = 0;
    EXPECT_EQ(takeBeat(), 1);
    EXPECT_EQ(takeBeat(), 0) << "the beats of rows 1 and 2 were taken twice";
    EXPECT_EQ(beatFrames(2 * rowFrames(125)), std::vector<int>{0}) << "row 3's beat is taken when it plays";
}

TEST_F(Player, HowTheOutputPullsDoesNotChangeTheAudio)
{
    XmModule m = module(1, 8);
    for (int row = 0; row < 8; row++) m.patterns[0].at(row, row % CHANNELS, CHANNELS) = {uint8_t(40 + row), 1, 0, 0xf, 97};
    const int frames = 9 * rowFrames(97);
    std::vector<std::vector<int16_t>> pieces;
    for (int chunk : {1, 333, 4096}) {
        ASSERT_EQ(play(m), 1);
        std::vector<int16_t>& out = pieces.emplace_back();
        out.resize(frames * OUTPUT_CHANNELS);
        for (int done = 0; done < frames; done += chunk) musicRender(&out[done * OUTPUT_CHANNELS], std::min(chunk, frames - done));
    }
    EXPECT_NE(pieces[1], std::vector<int16_t>(pieces[1].size(), 0));
    EXPECT_EQ(pieces[0], pieces[1]);
    EXPECT_EQ(pieces[2], pieces[1]);
}

TEST_F(Player, WithoutAModuleThePlayerIsNotAsked)
{
    EXPECT_EQ(isModulePlaying(), 0) << "before any module";
    const unsigned char text[] = "not a module at all";
    EXPECT_EQ(playModule(text, sizeof text), 0);
    EXPECT_EQ(musicPlayer.module, nullptr);
    EXPECT_FALSE(nullOutput.resumed) << "a failed load started the output";
    musicPlayer.playing = 1;  // a cached 1 stays 1 when no module is there to refresh it
    EXPECT_EQ(isModulePlaying(), 1);

    ASSERT_EQ(play(module(1, 4)), 1);
    EXPECT_TRUE(nullOutput.resumed);
    stopModule();
    EXPECT_EQ(musicPlayer.module, nullptr);
    EXPECT_EQ(isModulePlaying(), 0);
    EXPECT_TRUE(beatFrames(1000).empty());

    int locks = nullOutput.locks;
    shutdownSound();
    EXPECT_EQ(nullOutput.locks, locks) << "shutdown without a module touched the player";
    EXPECT_EQ(nullOutput.closes, 1);
    startSound();
    nullOutputReset(true);
    startSound();
    EXPECT_EQ(play(module(1, 4)), 0) << "a module started with no output to pull it to its end";
}

TEST_F(Player, BytesThatAreNoModuleFailToLoadSafely)
{
    std::vector<unsigned char> garbage(8192);
    uint32_t seed = 12345;
    for (unsigned char& byte : garbage) byte = static_cast<unsigned char>((seed = seed * 1103515245u + 12345u) >> 16);
    EXPECT_EQ(playModule(garbage.data(), 8192), 0);
    std::copy_n("Extended Module: ", 17, garbage.begin());
    EXPECT_EQ(playModule(garbage.data(), 8192), 0);
    EXPECT_EQ(playModule(garbage.data(), 0), 0);
    EXPECT_EQ(playModule(nullptr, 0), 0);

    std::vector<uint8_t> whole = xmWrite(module(2, 16));
    for (size_t cut : {size_t{17}, size_t{60}, whole.size() / 2, whole.size() - 1}) {
        EXPECT_EQ(playModule(whole.data(), static_cast<uint32_t>(cut)), 0) << cut;
    }
    // libxmp accepts a few cuts (a module missing its last instruments); those must play.
    for (size_t cut = 0; cut < whole.size(); cut += 7) {
        std::vector<uint8_t> truncated(whole.begin(), whole.begin() + static_cast<long>(cut));
        if (playModule(truncated.data(), static_cast<uint32_t>(cut))) beatFrames(300);
    }
    EXPECT_EQ(isModulePlaying(), 0);
}

}  // namespace
