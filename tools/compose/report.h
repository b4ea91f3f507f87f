// What compose prints about a rendered pass (see report.cpp).
#pragma once

#include <cstdint>
#include <vector>

// The meters over interleaved stereo frames at RENDER_RATE: length, loudness, peaks, stereo,
// bands and the ending's level.
void printMeters(const std::vector<int16_t>& frames);

// A module rendered as the demo plays it: its marker counts, the meters, when its last note
// starts, the marker hits' strength and each order position's level; with `stems`, each channel
// alone as well. Returns the exit status.
int reportModule(const std::vector<uint8_t>& bytes, bool stems);
