// The music player on the real SDL2 audio output: the device thread pulls the module to its end
// at real-time pace and the beats arrive on the main thread, on SDL's dummy driver named or
// fallen back to (silent, paced by the clock) and on its disk driver (a device that takes a
// buffer per buffer's length).
#include <gtest/gtest.h>

#include <SDL.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "music/output.h"
#include "music/player.h"
#include "shell/clock.h"
#include "shell/process.h"
#include "tools/xm/xm_writer.h"

namespace {

constexpr Uint32 SONG_MS = 12 * 6 * 20;  // twelve rows at speed 6, 125 BPM: 20 ms ticks

// 1.44 s: a tone throughout and the silent marker on rows 0 and 8, too far apart for one
// device buffer to hold both.
std::vector<uint8_t> shortModule()
{
    XmModule m;
    m.channels = 2;
    m.instruments.resize(9);
    XmSample tone;
    for (int i = 0; i < 64; i++) tone.data.push_back(i < 32 ? 8000 : -8000);
    tone.loopLength = 64;
    tone.loopType = 1;
    m.instruments[0].samples.push_back(tone);
    m.instruments[8].samples.push_back(XmSample{});
    m.patterns.resize(1, XmPattern{12, {}});
    m.patterns[0].at(0, 0, 2) = XmCell{49, 1, 0, 0, 0};
    m.patterns[0].at(0, 1, 2) = XmCell{49, 9, 0, 0, 0};
    m.patterns[0].at(8, 1, 2) = XmCell{49, 9, 0, 0, 0};
    m.orders = {0};
    return xmWrite(m);
}

// Plays the short module from the main thread as the loop would, until it is no longer
// playing; `stall` holds the audio thread from 300 ms in for that long, as a busy machine might.
// Returns the beats taken and the milliseconds until the end was reported.
struct Played {
    int beats;
    Uint32 ms;
    bool positionWentBack;
};
Played playShortModule(const std::vector<uint8_t>& bytes, Uint32 stall = 0)
{
    takeBeat();
    Played played{0, 0, false};
    int64_t last = 0;
    const Uint32 start = SDL_GetTicks();
    EXPECT_EQ(playModule(bytes.data(), static_cast<uint32_t>(bytes.size())), 1);
    bool stalled = false;
    while (isModulePlaying() && SDL_GetTicks() - start < 10000) {
        if (stall > 0 && !stalled && SDL_GetTicks() - start >= 300) {
            audioOutputLock();
            SDL_Delay(stall);
            audioOutputUnlock();
            stalled = true;
        }
        const int64_t position = audioOutputPlayedFrames();
        played.positionWentBack = played.positionWentBack || position < last;
        last = position;
        played.beats += takeBeat();
        SDL_Delay(2);
    }
    played.ms = SDL_GetTicks() - start;
    played.beats += takeBeat();
    return played;
}

// The driver named in the environment, one that does not exist, or the disk driver: either
// way the song plays to its end with both beats, watched from this thread as the main loop
// would, and its end is reported only once its last frame has been played.
TEST(OutputSdl, TheSongPlaysToItsEndOnTheDummyDriverNamedOrFallenBackToAndOnADevice)
{
    std::vector<uint8_t> bytes = shortModule();
    const std::string sink = ::testing::TempDir() + "output_sdl_test." + std::to_string(getpid()) + ".raw";
    setenv("SDL_DISKAUDIOFILE", sink.c_str(), 1);
    for (const char* driver : {"dummy", "no-such-driver", "disk"}) {
        setenv("SDL_AUDIODRIVER", driver, 1);
        startSound();
        ASSERT_NE(SDL_WasInit(SDL_INIT_AUDIO), 0u) << driver;
        EXPECT_STREQ(SDL_GetCurrentAudioDriver(), std::string(driver) == "disk" ? "disk" : "dummy") << driver;

        Played played = playShortModule(bytes);
        EXPECT_EQ(isModulePlaying(), 0) << driver;
        EXPECT_EQ(played.beats, 2) << driver;
        // A buffer early, as when the end was reported once rendered, is well outside the
        // millisecond clock's rounding.
        EXPECT_GE(played.ms + 2, SONG_MS) << driver << ": the end was reported before the last frame was played";
        EXPECT_FALSE(played.positionWentBack) << driver;

        shutdownSound();
        EXPECT_EQ(SDL_WasInit(SDL_INIT_AUDIO), 0u) << driver;
        EXPECT_EQ(audioOutputPlayedFrames(), 0) << driver << ": a closed output reports a position";
    }
    std::remove(sink.c_str());
}

// SDL's dummy driver sleeps a buffer's length after each callback, whatever happened before:
// a callback held up, as on a busy machine, would push the rest of the song back for good.
// The silent output renders what the clock asks for instead, and the song keeps its length.
TEST(OutputSdl, TheSilentOutputCatchesUpWithTheClockAfterAStall)
{
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    std::vector<uint8_t> bytes = shortModule();
    startSound();
    Played played = playShortModule(bytes, 600);
    EXPECT_EQ(played.beats, 2);
    EXPECT_GE(played.ms + 2, SONG_MS);
    EXPECT_LT(played.ms, SONG_MS + 400) << "the song fell behind by the stall";
    shutdownSound();
}

// Stopped for 600 ms 300 ms into the song (SIGSTOP, then SIGCONT from another process), the
// demo's clock and the silent song both stand still: the song ends one song's length after it
// began on the demo's clock, 600 ms later than that on the wall clock, with both beats.
TEST(OutputSdl, AStoppedProcessResumesItsClockWithTheSong)
{
    prepareProcess();
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    std::vector<uint8_t> bytes = shortModule();
    startSound();
    takeBeat();
    int beats = 0;
    const uint32_t start = tickCount();
    const Uint32 wallStart = SDL_GetTicks();
    ASSERT_EQ(playModule(bytes.data(), static_cast<uint32_t>(bytes.size())), 1);
    bool stopped = false;
    while (isModulePlaying() && SDL_GetTicks() - wallStart < 10000) {
        if (!stopped && tickCount() - start >= 300) {
            const pid_t parent = getpid();
            const pid_t child = fork();
            ASSERT_GE(child, 0);
            if (child == 0) {
                usleep(600000);
                kill(parent, SIGCONT);
                _exit(0);
            }
            const uint32_t before = tickCount();
            raise(SIGSTOP);
            EXPECT_LT(tickCount() - before, 100u) << "the time stopped counted on the demo's clock";
            waitpid(child, nullptr, 0);
            stopped = true;
        }
        beats += takeBeat();
        SDL_Delay(2);
    }
    const uint32_t songMs = tickCount() - start;
    const Uint32 wallMs = SDL_GetTicks() - wallStart;
    beats += takeBeat();
    shutdownSound();
    EXPECT_TRUE(stopped);
    EXPECT_EQ(beats, 2);
    EXPECT_GE(songMs + 2, SONG_MS) << "the song ran on while the process stood stopped";
    EXPECT_LT(songMs, SONG_MS + 300);
    EXPECT_GE(wallMs + 2, SONG_MS + 600);
}

TEST(OutputSdl, StoppingWhileTheDeviceRendersIsSafe)
{
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    std::vector<uint8_t> bytes = shortModule();
    startSound();
    for (int i = 0; i < 20; i++) {
        ASSERT_EQ(playModule(bytes.data(), static_cast<uint32_t>(bytes.size())), 1);
        SDL_Delay(static_cast<Uint32>(i * 7 % 30));
        stopModule();
    }
    ASSERT_EQ(playModule(bytes.data(), static_cast<uint32_t>(bytes.size())), 1);
    SDL_Delay(50);
    shutdownSound();
    EXPECT_EQ(musicPlayer.module, nullptr);
}

}  // namespace
