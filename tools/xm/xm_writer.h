// Writes FastTracker 2 extended modules (XM, format version 0x0104) from plain records.
// Used by the tools that make the demo's music and by the tests that need small modules.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

struct XmSample {
    std::vector<int16_t> data;
    int loopStart = 0;   // in sample frames
    int loopLength = 0;  // in sample frames
    int loopType = 0;    // 0 none, 1 forward, 2 ping-pong
    int volume = 64;
    int finetune = 0;    // -128..127
    int panning = 128;
    int relativeNote = 0;
    std::string name;
};

struct XmInstrument {
    std::string name;
    std::vector<XmSample> samples;                      // all notes map to sample 0 when non-empty
    std::vector<std::pair<int, int>> volumeEnvelope;    // (tick, 0..64) points; empty = off
    int fadeout = 0;
};

struct XmCell {
    uint8_t note = 0;        // 0 none, 1..96, 97 key-off
    uint8_t instrument = 0;  // 0 none, else 1-based
    uint8_t volume = 0;      // volume column byte as stored (0x10..0x50 sets volume 0..64)
    uint8_t effect = 0;
    uint8_t param = 0;
};

struct XmPattern {
    int rows = 64;
    std::vector<XmCell> cells;  // rows * channels, row-major
    // The cell at (row, channel); grows the pattern's cell table to rows * channels if needed.
    XmCell& at(int row, int channel, int channels);
};

struct XmModule {
    std::string title;
    std::string tracker;
    int channels = 16;
    int restart = 0;
    bool linearFrequencies = true;
    int speed = 6;
    int bpm = 125;
    std::vector<int> orders;
    std::vector<XmPattern> patterns;
    std::vector<XmInstrument> instruments;
};

// A complete XM file, version 0x0104, with packed pattern data and delta-coded 16-bit samples.
std::vector<uint8_t> xmWrite(const XmModule& module);
