// The composer's meters on signals whose figures are known: BS.1770's calibration tone, the
// gates, EBU Tech 3342's two-level range case, an inter-sample peak, and stereo extremes.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <vector>

#include "tools/compose/chip1.h"
#include "tools/compose/meters.h"

namespace {

constexpr double PI = 3.141592653589793;

// Appends `seconds` of a sine at `hz` and `dbfs` peak; right = sign * left, or an unrelated
// noise of the same level when sign is 0.
void appendTone(std::vector<int16_t>& frames, double seconds, double hz, double dbfs, int sign = 1, double phase = 0.0)
{
    double amplitude = 32767.0 * std::pow(10.0, dbfs / 20.0);
    uint32_t noise = 12345u;
    size_t count = static_cast<size_t>(seconds * RENDER_RATE);
    for (size_t n = 0; n < count; n++) {
        double left = amplitude * std::sin(2.0 * PI * hz * n / RENDER_RATE + phase);
        noise = noise * 1664525u + 1013904223u;
        double right = sign ? sign * left : amplitude * std::sqrt(2.0) * ((noise >> 8) / 8388608.0 - 1.0) * 0.6;
        frames.push_back(static_cast<int16_t>(std::lround(left)));
        frames.push_back(static_cast<int16_t>(std::lround(right)));
    }
}

Loudness loudnessOf(const std::vector<int16_t>& frames)
{
    return measureLoudness(frames.data(), frames.size() / 2);
}

TEST(Meters, LoudnessReadsTheCalibrationToneAndGatesOutSilenceAndQuietParts)
{
    std::vector<int16_t> tone;
    appendTone(tone, 10.0, 997.0, -20.0);
    EXPECT_NEAR(loudnessOf(tone).integrated, -20.0, 0.1);  // one channel alone would read -23.0

    std::vector<int16_t> withSilence = tone;
    withSilence.resize(withSilence.size() * 2, 0);
    EXPECT_NEAR(loudnessOf(withSilence).integrated, -20.0, 0.1);

    std::vector<int16_t> withQuiet = tone;
    appendTone(withQuiet, 10.0, 997.0, -40.0);  // more than 10 LU under: left out by the relative gate
    EXPECT_NEAR(loudnessOf(withQuiet).integrated, -20.0, 0.1);

    std::vector<int16_t> low;
    appendTone(low, 10.0, 60.0, -20.0);  // K-weighting's high-pass takes 3.6 dB off at 60 Hz
    EXPECT_NEAR(loudnessOf(low).integrated, -23.6, 0.2);
}

TEST(Meters, LoudnessRangeOfTwoLevelsIsTheirDistance)
{
    std::vector<int16_t> frames;
    appendTone(frames, 20.0, 1000.0, -20.0);
    appendTone(frames, 20.0, 1000.0, -30.0);
    Loudness loudness = loudnessOf(frames);
    EXPECT_NEAR(loudness.range, 10.0, 1.0);
    EXPECT_NEAR(loudness.rangeHigh, -20.0, 0.5);

    std::vector<int16_t> steady;
    appendTone(steady, 20.0, 1000.0, -20.0);
    EXPECT_LT(loudnessOf(steady).range, 0.2);
}

TEST(Meters, TruePeakFindsThePeakBetweenTheSamples)
{
    // A quarter of the rate, 45 degrees off: every sample lands 3 dB under the crest.
    std::vector<int16_t> frames;
    appendTone(frames, 1.0, RENDER_RATE / 4.0, -6.0, 1, PI / 4.0);
    EXPECT_NEAR(samplePeakDb(frames.data(), frames.size() / 2), -9.0, 0.1);
    EXPECT_NEAR(truePeakDb(frames.data(), frames.size() / 2), -6.0, 0.3);
    EXPECT_EQ(clippedSamples(frames.data(), frames.size() / 2), 0);
    frames[100] = 32767;
    frames[101] = -32768;
    EXPECT_EQ(clippedSamples(frames.data(), frames.size() / 2), 2);
}

TEST(Meters, StereoMetersTellMonoFromWideFromOpposed)
{
    std::vector<int16_t> mono, opposed, wide;
    appendTone(mono, 5.0, 440.0, -12.0, 1);
    appendTone(opposed, 5.0, 440.0, -12.0, -1);
    appendTone(wide, 5.0, 440.0, -12.0, 0);
    EXPECT_NEAR(stereoCorrelation(mono.data(), mono.size() / 2), 1.0, 1e-6);
    EXPECT_NEAR(stereoCorrelation(opposed.data(), opposed.size() / 2), -1.0, 1e-6);
    EXPECT_NEAR(stereoCorrelation(wide.data(), wide.size() / 2), 0.0, 0.02);
    EXPECT_NEAR(monoLossLu(mono.data(), mono.size() / 2), 0.0, 0.05);
    EXPECT_NEAR(monoLossLu(wide.data(), wide.size() / 2), 3.0, 0.5);
}

TEST(Meters, BandSharesPutAToneInItsBand)
{
    std::vector<int16_t> frames;
    appendTone(frames, 2.0, 8000.0, -10.0);
    appendTone(frames, 2.0, 300.0, -10.0);  // as much energy again, lower down
    BandShares shares = bandShares(powerSpectrum(frames.data(), frames.size() / 2));
    EXPECT_NEAR(shares.db[BAND_COUNT - 1], -3.0, 0.2);
    EXPECT_NEAR(shares.db[1], -3.0, 0.2);
    EXPECT_LT(shares.db[0], -40.0);
    EXPECT_NEAR(strongestHz(powerSpectrum(frames.data(), frames.size() / 2, 16384), 20.0, 2000.0), 300.0, 3.0);
}

// A hit at half the volume on the same bed scores 6 dB lower; on a quiet bed it stands out.
TEST(Meters, OnsetStrengthFollowsTheHitsLevel)
{
    std::vector<int16_t> bed, hit;
    appendTone(bed, 2.0, 220.0, -30.0);
    appendTone(hit, 0.2, 997.0, -12.0);
    std::vector<int16_t> loud = bed, soft = bed;
    for (size_t i = 0; i < hit.size(); i++) {
        loud[RENDER_RATE * 2 + i] = static_cast<int16_t>(bed[RENDER_RATE * 2 + i] + hit[i]);
        soft[RENDER_RATE * 2 + i] = static_cast<int16_t>(bed[RENDER_RATE * 2 + i] + hit[i] / 2);
    }
    Onset strong = measureOnset(loud.data(), loud.size() / 2, RENDER_RATE);
    Onset weak = measureOnset(soft.data(), soft.size() / 2, RENDER_RATE);
    EXPECT_NEAR(strong.strength, -12.0, 0.5);
    EXPECT_NEAR(strong.strength - weak.strength, 6.0, 0.3);
    EXPECT_NEAR(strong.before, -30.0, 1.0);
    EXPECT_EQ(measureOnset(bed.data(), bed.size() / 2, RENDER_RATE).strength, -70.0);  // nothing new
}

}  // namespace
