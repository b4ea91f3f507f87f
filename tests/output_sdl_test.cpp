// The music player on the real SDL2 audio output: the device thread pulls the module to its end
// at real-time pace and the beats arrive on the main thread, with SDL's dummy driver named or
// fallen back to.
#include <gtest/gtest.h>

#include <SDL.h>

#include <cstdlib>
#include <vector>

#include "music/player.h"
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

// The driver named in the environment, or one that does not exist: either way the song plays
// to its end with both beats, watched from this thread as the main loop would.
TEST(OutputSdl, TheSongPlaysToItsEndOnTheDummyDriverNamedOrFallenBackTo)
{
    std::vector<uint8_t> bytes = shortModule();
    for (const char* driver : {"dummy", "no-such-driver"}) {
        setenv("SDL_AUDIODRIVER", driver, 1);
        startSound();
        ASSERT_NE(SDL_WasInit(SDL_INIT_AUDIO), 0u) << driver;
        EXPECT_STREQ(SDL_GetCurrentAudioDriver(), "dummy") << driver;

        takeBeat();
        int beats = 0;
        Uint32 start = SDL_GetTicks();
        ASSERT_EQ(playModule(bytes.data(), static_cast<uint32_t>(bytes.size())), 1);
        while (isModulePlaying() && SDL_GetTicks() - start < 10000) {
            beats += takeBeat();
            SDL_Delay(2);
        }
        beats += takeBeat();
        EXPECT_EQ(isModulePlaying(), 0) << driver;
        EXPECT_EQ(beats, 2) << driver;
        EXPECT_GE(SDL_GetTicks() - start, SONG_MS * 2 / 3) << driver << ": audio not pulled at real-time pace";

        shutdownSound();
        EXPECT_EQ(SDL_WasInit(SDL_INIT_AUDIO), 0u) << driver;
    }
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
    EXPECT_EQ(moduleHandle, nullptr);
}

}  // namespace
