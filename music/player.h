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

// Beats rendered and not yet taken. The output renders at most a few buffers ahead of what is
// heard and the loop takes beats every step, so a handful are ever held; 64 is several seconds
// of the densest rows. When the ring is full (the loop has not stepped for that long) a newly
// raised beat is dropped.
constexpr uint32_t BEAT_RING_SIZE = 64;

// The player's state. The main thread owns the first four fields. The rest belongs to the
// renderer (the output's thread, while an output pulls audio): the main thread changes it only
// with the output locked, and reads songEndFrame and the ring only after the atomics the two
// threads hand each other (the beats raised and taken, the song's end, kept beside the record).
// A test starts from a fresh player with shutdownSound() and `musicPlayer = MUSIC_PLAYER_START_STATE`.
struct MusicPlayerState {
    int32_t playing;         // what isModulePlaying last found
    void* module;            // the loaded module (a libxmp context, opaque outside the player); null for none
    bool outputOpen;         // startSound opened an output
    int64_t beatLeadFrames;  // how far ahead of the playback position takeBeat listens
    int moduleChannels;
    const int16_t* tickAudio;  // the rest of the tick being handed out, in libxmp's own buffer
    int tickFramesLeft;
    int64_t renderedFrames;    // frames musicRender has handed out since the output was opened
    int64_t songEndFrame;      // the frame after the song's last
    // The beats waiting to be heard, each the frame at which its row starts, in order.
    int64_t beatRing[BEAT_RING_SIZE];
};
constexpr MusicPlayerState MUSIC_PLAYER_START_STATE = {0, nullptr, false, 0, 0, nullptr, 0, 0, 0, {}};

extern MusicPlayerState musicPlayer;

void startSound();
int playModule(const unsigned char* bytes, uint32_t length);
// Nonzero while the module plays; 0 for good once the output has played its last frame.
int isModulePlaying();
void stopModule();
void shutdownSound();
// 1 if a beat has been heard since the last call that returned 1, counting as heard what the
// output will have played `setBeatLead` milliseconds from now; beats heard together count once.
// It takes them all at once, so each scene step calls it exactly once (shell/scenes.h).
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
