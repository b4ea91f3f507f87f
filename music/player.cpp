// Placeholder until the player lands: no module ever plays.
#include "music/player.h"

std::atomic<int32_t> beatFlag{0};
int32_t musicPlaying = 0;

void startSound() {}
int playModule(const unsigned char*, uint32_t) { return 0; }
int isModulePlaying() { return musicPlaying; }
void stopModule() { musicPlaying = 0; }
void shutdownSound() { stopModule(); }
int takeBeat() { return beatFlag.exchange(0); }
void onBeatInstrument() { beatFlag.store(1); }
