// The demo's soundtrack, "CHIP1": every instrument synthesized here and the song written
// out as an XM module, the same bytes on every run.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "tools/xm/xm_writer.h"

// Playback settings of the demo's player, used for every offline render.
constexpr int RENDER_RATE = 44100;
constexpr int RENDER_PLAYER_VOLUME = 75;  // master volume 192 of 256 on the library's 0..100 scale

XmModule composeChip1();
std::vector<uint8_t> chip1Bytes();

// One pass of a module as the demo plays it: interleaved stereo 16-bit frames at RENDER_RATE,
// up to (not including) the first frame on which the song loops. Empty if it cannot load.
// orderStarts and rowStarts, when given, receive the stereo frame at which each order position
// and each row (in the order they are played) begins.
std::vector<int16_t> renderOnePass(const uint8_t* bytes, size_t size, std::vector<size_t>* orderStarts = nullptr,
                                   std::vector<size_t>* rowStarts = nullptr);
// The same pass with only the channels in channelMask (bit n: channel n) heard: one stem.
std::vector<int16_t> renderChannels(const uint8_t* bytes, size_t size, uint32_t channelMask);
