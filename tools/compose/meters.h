// Meters for one rendered pass of the soundtrack (interleaved stereo 16-bit frames at
// RENDER_RATE): what a listener hears of it, in the figures a mastering engineer reads.
//   loudness      integrated loudness and loudness range (ITU-R BS.1770-4 K-weighting and
//                 gating, EBU Tech 3342 range)
//   true peak     4x oversampled peak, in dBTP
//   stereo        L/R correlation and what the mono sum loses
//   balance       the share of the energy in each of a few bands
//   hits          how far a hit at a given frame rises over what sounds just before it
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

struct Loudness {
    double integrated = -70.0;  // LUFS, gated; -70 when nothing passes the gate
    double range = 0.0;         // LU: 95th minus 10th percentile of the gated short-term loudness
    double rangeLow = -70.0;    // LUFS, the 10th percentile
    double rangeHigh = -70.0;   // LUFS, the 95th percentile
};

// Loudness of `count` stereo frames.
Loudness measureLoudness(const int16_t* frames, size_t count);

// The same frames folded to mono ((L + R) / 2 on both sides): how much louder the stereo
// original is, in LU (0 for a mono source; about 3 for unrelated left and right).
double monoLossLu(const int16_t* frames, size_t count);

// Largest magnitude of the signal between and on the samples, found by 4x oversampling, in dBTP.
double truePeakDb(const int16_t* frames, size_t count);

// Largest sample magnitude in dBFS, and how many samples sit at full scale (clipped).
double samplePeakDb(const int16_t* frames, size_t count);
int clippedSamples(const int16_t* frames, size_t count);

// RMS level over both channels in dBFS (-200 for silence).
double levelDb(const int16_t* frames, size_t count);

// Correlation of left and right: 1 mono, 0 unrelated, -1 opposed (1 for silence).
double stereoCorrelation(const int16_t* frames, size_t count);

// Energy share of each band, in dB of the whole (both channels, 20 Hz to the top).
constexpr int BAND_COUNT = 5;
constexpr double BAND_EDGES_HZ[BAND_COUNT + 1] = {20.0, 100.0, 500.0, 2000.0, 6000.0, 20000.0};
struct BandShares {
    double db[BAND_COUNT];
};
// Power per frequency bin, averaged over Hann windows of `size` frames (a power of two).
struct Spectrum {
    std::vector<double> power;  // bins 0..size/2
    double binHz = 0.0;
};
Spectrum powerSpectrum(const int16_t* frames, size_t count, size_t size = 4096);
BandShares bandShares(const Spectrum& spectrum);
// Frequency of the strongest bin between lowHz and highHz.
double strongestHz(const Spectrum& spectrum, double lowHz, double highHz);

// Onset strength of a hit starting at frame `at`: the loudness of what it adds to the sound, the
// K-weighted power it brings to each third-octave band over the ONSET_FRAMES before it (rises
// only), summed, in LUFS; -70 when it adds nothing. A hit at half the volume scores 6 dB lower
// in the same surroundings. `before` is the loudness of those frames before it, so that
// strength - before says how far the hit stands out of what it lands on.
constexpr int ONSET_FRAMES = 2048;  // 46 ms
struct Onset {
    double strength = -70.0;
    double before = -70.0;
};
Onset measureOnset(const int16_t* frames, size_t count, size_t at);
