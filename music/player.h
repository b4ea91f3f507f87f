// The music: the sound device, the module played once from memory, its playing state, and
// the beat signal raised whenever the module plays a note of its beat instrument.
#pragma once

#include <atomic>
#include <cstdint>

constexpr int BEAT_INSTRUMENT = 9;  // the module's own 1-based numbering: its silent marker
constexpr int MIXING_RATE = 44100;  // frames per second of everything the player renders
constexpr int OUTPUT_CHANNELS = 2;  // interleaved stereo

extern std::atomic<int32_t> beatFlag;
extern int32_t musicPlaying;
// The player holding the loaded module (a libxmp context, opaque outside the player); null
// when no module is loaded.
extern void* moduleHandle;

void startSound();
int playModule(const unsigned char* bytes, uint32_t length);
int isModulePlaying();
void stopModule();
void shutdownSound();
int takeBeat();
void onBeatInstrument();

// Renders the next `frames` stereo frames of the playing module at MIXING_RATE as interleaved
// signed 16-bit samples into `out` (OUTPUT_CHANNELS * frames values), raising the beat as rows with notes
// of the beat instrument start. Silence once the song has ended or when no module is loaded.
// The output device calls it from its own thread; an offline renderer may call it directly.
void musicRender(int16_t* out, int frames);
