// The music: the sound device, the module played once from memory, its playing state, and
// the beat signal raised whenever the module plays a note of its beat instrument.
//
// The player renders ahead of what is heard (the output's buffers and the device's latency lie
// between them), so a beat and the end of the song are kept with the frame at which they fall
// and handed to the main thread only once the output has played that frame.
#pragma once

#include <cstdint>

constexpr int BEAT_INSTRUMENT = 9;  // the module's own 1-based numbering: its silent marker
constexpr int MIXING_RATE = 44100;  // frames per second of everything the player renders
constexpr int OUTPUT_CHANNELS = 2;  // interleaved stereo

extern int32_t musicPlaying;
// The player holding the loaded module (a libxmp context, opaque outside the player); null
// when no module is loaded.
extern void* moduleHandle;

void startSound();
int playModule(const unsigned char* bytes, uint32_t length);
// Nonzero while the module plays; 0 for good once the output has played its last frame.
int isModulePlaying();
void stopModule();
void shutdownSound();
// 1 if a beat has been heard since the last call that returned 1, counting as heard what the
// output will have played `setBeatLead` milliseconds from now; beats heard together count once.
int takeBeat();
// How far ahead of the playback position `takeBeat` listens: the loop sets it before each step to
// aim the beats at the moment that step's frame is shown. 0 at start.
void setBeatLead(uint32_t ms);
// Raises a beat at the frame the player has rendered up to: the start of the tick being rendered.
void onBeatInstrument();

// Renders the next `frames` stereo frames of the playing module at MIXING_RATE as interleaved
// signed 16-bit samples into `out` (OUTPUT_CHANNELS * frames values), raising the beat as rows with notes
// of the beat instrument start. Silence once the song has ended or when no module is loaded.
// The output device calls it from its own thread; an offline renderer may call it directly.
void musicRender(int16_t* out, int frames);
