// The music: the sound device, the module played once from memory, its playing state, and
// the beat signal raised whenever the module plays a note of its beat instrument.
#pragma once

#include <atomic>
#include <cstdint>

constexpr int BEAT_INSTRUMENT = 9;  // the module's own 1-based numbering: its silent marker

extern std::atomic<int32_t> beatFlag;
extern int32_t musicPlaying;

void startSound();
int playModule(const unsigned char* bytes, uint32_t length);
int isModulePlaying();
void stopModule();
void shutdownSound();
int takeBeat();
void onBeatInstrument();
