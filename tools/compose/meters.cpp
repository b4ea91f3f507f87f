#include "tools/compose/meters.h"

#include <algorithm>
#include <cmath>
#include <complex>

#include "tools/compose/chip1.h"

static constexpr double PI = 3.141592653589793;
static constexpr double FULL_SCALE = 32768.0;
static constexpr size_t SEGMENT = RENDER_RATE / 10;  // 100 ms: the step of every loudness window
static constexpr size_t BLOCK_SEGMENTS = 4;          // 400 ms momentary blocks
static constexpr size_t SHORT_TERM_SEGMENTS = 30;    // 3 s short-term windows
static constexpr double ABSOLUTE_GATE = -70.0;

// ---------------------------------------------------------------------------------------------
// K-weighting: a high shelf (+4 dB above about 1.7 kHz, the head's effect) and a high-pass near
// 38 Hz, as BS.1770 gives them, brought to RENDER_RATE through the bilinear transform.

struct Biquad {
    double b0, b1, b2, a1, a2;
    double z1 = 0.0, z2 = 0.0;
};

static double biquadStep(Biquad& f, double x)
{
    double y = f.b0 * x + f.z1;
    f.z1 = f.b1 * x - f.a1 * y + f.z2;
    f.z2 = f.b2 * x - f.a2 * y;
    return y;
}

static Biquad shelfFilter()
{
    const double f0 = 1681.974450955533, gainDb = 3.999843853973347, q = 0.7071752369554196;
    double k = std::tan(PI * f0 / RENDER_RATE);
    double vh = std::pow(10.0, gainDb / 20.0);
    double vb = std::pow(vh, 0.4996667741545416);
    double a0 = 1.0 + k / q + k * k;
    return {(vh + vb * k / q + k * k) / a0, 2.0 * (k * k - vh) / a0, (vh - vb * k / q + k * k) / a0,
            2.0 * (k * k - 1.0) / a0, (1.0 - k / q + k * k) / a0};
}

static Biquad highPassFilter()
{
    const double f0 = 38.13547087602444, q = 0.5003270373238773;
    double k = std::tan(PI * f0 / RENDER_RATE);
    double a0 = 1.0 + k / q + k * k;
    return {1.0, -2.0, 1.0, 2.0 * (k * k - 1.0) / a0, (1.0 - k / q + k * k) / a0};
}

static std::vector<double> kWeightedEnergy(const int16_t* frames, size_t count)
{
    std::vector<double> sum(count + 1, 0.0);
    Biquad shelf[2] = {shelfFilter(), shelfFilter()};
    Biquad highPass[2] = {highPassFilter(), highPassFilter()};
    for (size_t n = 0; n < count; n++) {
        double energy = 0.0;
        for (int c = 0; c < 2; c++) {
            double y = biquadStep(highPass[c], biquadStep(shelf[c], frames[n * 2 + c] / FULL_SCALE));
            energy += y * y;
        }
        sum[n + 1] = sum[n] + energy;
    }
    return sum;
}

static double loudnessOf(double meanSquare)
{
    return meanSquare > 0.0 ? -0.691 + 10.0 * std::log10(meanSquare) : -200.0;
}

// Mean K-weighted power (summed over the channels) of the windows of `segments` 100 ms segments,
// stepped by one segment.
static std::vector<double> windowPowers(const std::vector<double>& energy, size_t segments)
{
    std::vector<double> powers;
    size_t length = segments * SEGMENT;
    for (size_t start = 0; start + length < energy.size(); start += SEGMENT) {
        powers.push_back((energy[start + length] - energy[start]) / static_cast<double>(length));
    }
    return powers;
}

// The powers that pass the absolute gate and the relative gate `relativeLu` under their mean.
static std::vector<double> gated(const std::vector<double>& powers, double relativeLu)
{
    double sum = 0.0;
    size_t count = 0;
    for (double p : powers) {
        if (loudnessOf(p) > ABSOLUTE_GATE) {
            sum += p;
            count++;
        }
    }
    std::vector<double> kept;
    if (count == 0) return kept;
    double threshold = loudnessOf(sum / count) + relativeLu;
    for (double p : powers) {
        double l = loudnessOf(p);
        if (l > ABSOLUTE_GATE && l > threshold) kept.push_back(p);
    }
    return kept;
}

static Loudness loudnessOfEnergy(const std::vector<double>& energy)
{
    Loudness result;
    std::vector<double> blocks = gated(windowPowers(energy, BLOCK_SEGMENTS), -10.0);
    if (blocks.empty()) return result;
    double sum = 0.0;
    for (double p : blocks) sum += p;
    result.integrated = loudnessOf(sum / blocks.size());

    std::vector<double> shortTerm = gated(windowPowers(energy, SHORT_TERM_SEGMENTS), -20.0);
    if (shortTerm.empty()) return result;
    std::vector<double> levels;
    for (double p : shortTerm) levels.push_back(loudnessOf(p));
    std::sort(levels.begin(), levels.end());
    auto percentile = [&](double p) { return levels[static_cast<size_t>(std::lround(p * (levels.size() - 1)))]; };
    result.rangeLow = percentile(0.10);
    result.rangeHigh = percentile(0.95);
    result.range = result.rangeHigh - result.rangeLow;
    return result;
}

Loudness measureLoudness(const int16_t* frames, size_t count)
{
    return loudnessOfEnergy(kWeightedEnergy(frames, count));
}

double monoLossLu(const int16_t* frames, size_t count)
{
    std::vector<int16_t> mono(count * 2);
    for (size_t n = 0; n < count; n++) {
        int sum = frames[n * 2] + frames[n * 2 + 1];
        mono[n * 2] = mono[n * 2 + 1] = static_cast<int16_t>(sum / 2);
    }
    return measureLoudness(frames, count).integrated - measureLoudness(mono.data(), count).integrated;
}

// ---------------------------------------------------------------------------------------------
// Peaks.

// 4x oversampling: a 48-tap windowed-sinc low-pass at the original Nyquist frequency, split
// into four phases of twelve taps, each phase scaled to unit gain at DC.
static constexpr int OVERSAMPLE = 4;
static constexpr int PHASE_TAPS = 12;

double truePeakDb(const int16_t* frames, size_t count)
{
    constexpr int TAPS = OVERSAMPLE * PHASE_TAPS;
    double phase[OVERSAMPLE][PHASE_TAPS];
    double gain = 0.0;  // the most any phase can make of its inputs
    for (int p = 0; p < OVERSAMPLE; p++) {
        double sum = 0.0, magnitude = 0.0;
        for (int j = 0; j < PHASE_TAPS; j++) {
            int k = j * OVERSAMPLE + p;
            double x = (k - (TAPS - 1) / 2.0) / OVERSAMPLE;
            double sinc = x == 0.0 ? 1.0 : std::sin(PI * x) / (PI * x);
            double window = 0.5 - 0.5 * std::cos(2.0 * PI * (k + 0.5) / TAPS);
            phase[p][j] = sinc * window;
            sum += phase[p][j];
        }
        for (int j = 0; j < PHASE_TAPS; j++) {
            phase[p][j] /= sum;
            magnitude += std::fabs(phase[p][j]);
        }
        gain = std::max(gain, magnitude);
    }
    // The sample peak bounds the true peak from below, so only the stretches with a sample
    // above peak / gain can hold a larger value between the samples.
    int largest = 0;
    for (size_t i = 0; i < count * 2; i++) largest = std::max(largest, std::abs(static_cast<int>(frames[i])));
    double peak = largest;
    double threshold = peak / gain;
    for (int c = 0; c < 2; c++) {
        size_t lastLoud = 0;
        bool anyLoud = false;
        for (size_t n = 0; n < count; n++) {
            if (std::abs(frames[n * 2 + c]) >= threshold) {
                lastLoud = n;
                anyLoud = true;
            }
            if (n + 1 < static_cast<size_t>(PHASE_TAPS) || !anyLoud || n - lastLoud >= static_cast<size_t>(PHASE_TAPS)) {
                continue;
            }
            for (int p = 0; p < OVERSAMPLE; p++) {
                double y = 0.0;
                for (int j = 0; j < PHASE_TAPS; j++) y += phase[p][j] * frames[(n - j) * 2 + c];
                peak = std::max(peak, std::fabs(y));
            }
        }
    }
    return peak > 0.0 ? 20.0 * std::log10(peak / FULL_SCALE) : -200.0;
}

double samplePeakDb(const int16_t* frames, size_t count)
{
    int peak = 0;
    for (size_t i = 0; i < count * 2; i++) peak = std::max(peak, std::abs(static_cast<int>(frames[i])));
    return peak > 0 ? 20.0 * std::log10(peak / FULL_SCALE) : -200.0;
}

int clippedSamples(const int16_t* frames, size_t count)
{
    int clipped = 0;
    for (size_t i = 0; i < count * 2; i++) clipped += frames[i] >= 32767 || frames[i] <= -32768;
    return clipped;
}

double levelDb(const int16_t* frames, size_t count)
{
    double sum = 0.0;
    for (size_t i = 0; i < count * 2; i++) sum += static_cast<double>(frames[i]) * frames[i];
    double meanSquare = count ? sum / (count * 2) / (FULL_SCALE * FULL_SCALE) : 0.0;
    return meanSquare > 0.0 ? 10.0 * std::log10(meanSquare) : -200.0;
}

// ---------------------------------------------------------------------------------------------
// Stereo and spectrum.

double stereoCorrelation(const int16_t* frames, size_t count)
{
    double lr = 0.0, ll = 0.0, rr = 0.0;
    for (size_t n = 0; n < count; n++) {
        double l = frames[n * 2], r = frames[n * 2 + 1];
        lr += l * r;
        ll += l * l;
        rr += r * r;
    }
    return ll > 0.0 && rr > 0.0 ? lr / std::sqrt(ll * rr) : 1.0;
}

// In-place radix-2 FFT of a power-of-two length.
static void fft(std::vector<std::complex<double>>& x)
{
    size_t n = x.size();
    for (size_t i = 1, j = 0; i < n; i++) {
        size_t bit = n >> 1;
        for (; j & bit; bit >>= 1) j ^= bit;
        j ^= bit;
        if (i < j) std::swap(x[i], x[j]);
    }
    for (size_t length = 2; length <= n; length <<= 1) {
        std::complex<double> step = std::polar(1.0, -2.0 * PI / static_cast<double>(length));
        for (size_t i = 0; i < n; i += length) {
            std::complex<double> w = 1.0;
            for (size_t k = 0; k < length / 2; k++) {
                std::complex<double> a = x[i + k], b = x[i + k + length / 2] * w;
                x[i + k] = a + b;
                x[i + k + length / 2] = a - b;
                w *= step;
            }
        }
    }
}

// Welch's method: Hann windows of `size` frames with half overlap, power summed per bin over
// both channels.
Spectrum powerSpectrum(const int16_t* frames, size_t count, size_t size)
{
    Spectrum spectrum;
    spectrum.binHz = static_cast<double>(RENDER_RATE) / size;
    spectrum.power.assign(size / 2 + 1, 0.0);
    std::vector<std::complex<double>> buffer(size);
    for (size_t start = 0; start + size <= count; start += size / 2) {
        for (int c = 0; c < 2; c++) {
            for (size_t i = 0; i < size; i++) {
                double window = 0.5 - 0.5 * std::cos(2.0 * PI * i / size);
                buffer[i] = frames[(start + i) * 2 + c] * window;
            }
            fft(buffer);
            for (size_t k = 0; k <= size / 2; k++) spectrum.power[k] += std::norm(buffer[k]);
        }
    }
    return spectrum;
}

BandShares bandShares(const Spectrum& spectrum)
{
    BandShares shares{};
    double band[BAND_COUNT] = {};
    double total = 0.0;
    for (size_t k = 1; k < spectrum.power.size(); k++) {
        double hz = k * spectrum.binHz;
        if (hz < BAND_EDGES_HZ[0] || hz >= BAND_EDGES_HZ[BAND_COUNT]) continue;
        total += spectrum.power[k];
        for (int b = 0; b < BAND_COUNT; b++) {
            if (hz >= BAND_EDGES_HZ[b] && hz < BAND_EDGES_HZ[b + 1]) band[b] += spectrum.power[k];
        }
    }
    for (int b = 0; b < BAND_COUNT; b++) {
        shares.db[b] = band[b] > 0.0 && total > 0.0 ? 10.0 * std::log10(band[b] / total) : -200.0;
    }
    return shares;
}

double strongestHz(const Spectrum& spectrum, double lowHz, double highHz)
{
    double best = -1.0, bestHz = 0.0;
    for (size_t k = 1; k < spectrum.power.size(); k++) {
        double hz = k * spectrum.binHz;
        if (hz >= lowHz && hz <= highHz && spectrum.power[k] > best) {
            best = spectrum.power[k];
            bestHz = hz;
        }
    }
    return bestHz;
}

// ---------------------------------------------------------------------------------------------
// Hits.

// Power gain of a biquad at hz.
static double biquadPower(const Biquad& f, double hz)
{
    std::complex<double> z = std::polar(1.0, -2.0 * PI * hz / RENDER_RATE);  // z^-1
    std::complex<double> numerator = f.b0 + f.b1 * z + f.b2 * z * z;
    std::complex<double> denominator = 1.0 + f.a1 * z + f.a2 * z * z;
    return std::norm(numerator / denominator);
}

// Bands about a third of an octave wide, coarser at the bottom where the window resolves less.
static constexpr double ONSET_BAND_EDGES_HZ[] = {20,   60,   100,  150,  200,  300,  400,   500,   650,   800,
                                                 1000, 1250, 1600, 2000, 2500, 3150, 4000,  5000,  6300,  8000,
                                                 10000, 12500, 16000, 20000};
static constexpr int ONSET_BANDS = sizeof ONSET_BAND_EDGES_HZ / sizeof ONSET_BAND_EDGES_HZ[0] - 1;

// K-weighted power per band of the ONSET_FRAMES frames from `first`, both channels summed, in
// mean-square units (a full-scale sine on both channels gives 1).
static void onsetBands(const int16_t* frames, size_t first, double* bands)
{
    std::vector<std::complex<double>> buffer(ONSET_FRAMES);
    const Biquad shelf = shelfFilter(), highPass = highPassFilter();
    double windowPower = 0.0;
    for (int i = 0; i < ONSET_FRAMES; i++) {
        double w = 0.5 - 0.5 * std::cos(2.0 * PI * i / ONSET_FRAMES);
        windowPower += w * w;
    }
    for (int b = 0; b < ONSET_BANDS; b++) bands[b] = 0.0;
    for (int c = 0; c < 2; c++) {
        for (int i = 0; i < ONSET_FRAMES; i++) {
            double w = 0.5 - 0.5 * std::cos(2.0 * PI * i / ONSET_FRAMES);
            buffer[i] = frames[(first + i) * 2 + c] / FULL_SCALE * w;
        }
        fft(buffer);
        int band = 0;
        for (int k = 1; k < ONSET_FRAMES / 2; k++) {
            double hz = static_cast<double>(k) * RENDER_RATE / ONSET_FRAMES;
            while (band < ONSET_BANDS && hz >= ONSET_BAND_EDGES_HZ[band + 1]) band++;
            if (band == ONSET_BANDS) break;
            if (hz < ONSET_BAND_EDGES_HZ[0]) continue;
            double weight = biquadPower(shelf, hz) * biquadPower(highPass, hz);
            bands[band] += 2.0 * std::norm(buffer[k]) * weight / (ONSET_FRAMES * windowPower);
        }
    }
}

Onset measureOnset(const int16_t* frames, size_t count, size_t at)
{
    Onset onset;
    if (at + ONSET_FRAMES > count) return onset;
    double before[ONSET_BANDS] = {}, after[ONSET_BANDS];
    if (at >= static_cast<size_t>(ONSET_FRAMES)) onsetBands(frames, at - ONSET_FRAMES, before);
    onsetBands(frames, at, after);
    double added = 0.0, previous = 0.0;
    for (int b = 0; b < ONSET_BANDS; b++) {
        added += std::max(0.0, after[b] - before[b]);
        previous += before[b];
    }
    onset.strength = std::max(ABSOLUTE_GATE, loudnessOf(added));
    onset.before = std::max(ABSOLUTE_GATE, loudnessOf(previous));
    return onset;
}
