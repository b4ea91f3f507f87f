// compose --report and --measure: the figures a listener's ears would give of one pass.
#include "tools/compose/report.h"

#include <xmp.h>

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "tools/compose/chip1.h"
#include "tools/compose/meters.h"

static constexpr int MARKER_INSTRUMENT = 9;  // the beat marker, counted from 1 as the file does
static constexpr int KICK_INSTRUMENT = 1;
static constexpr int SNARE_INSTRUMENT = 2;
static constexpr double ENDING_SECONDS = 0.25;

static double seconds(size_t frame)
{
    return static_cast<double>(frame) / RENDER_RATE;
}

static void printBands(const BandShares& shares)
{
    for (int b = 0; b < BAND_COUNT; b++) {
        std::printf("%s%g-%gk %.1f", b ? ", " : "", BAND_EDGES_HZ[b] / 1000.0, BAND_EDGES_HZ[b + 1] / 1000.0,
                    shares.db[b]);
    }
}

void printMeters(const std::vector<int16_t>& frames)
{
    size_t count = frames.size() / 2;
    const int16_t* f = frames.data();
    Loudness loudness = measureLoudness(f, count);
    std::printf("length %.3f s\n", seconds(count));
    std::printf("loudness: integrated %.1f LUFS, range %.1f LU (%.1f to %.1f LUFS)\n", loudness.integrated,
                loudness.range, loudness.rangeLow, loudness.rangeHigh);
    std::printf("peaks: true peak %.2f dBTP, sample peak %.2f dBFS, %d clipped samples\n", truePeakDb(f, count),
                samplePeakDb(f, count), clippedSamples(f, count));
    std::printf("stereo: L/R correlation %.3f, the mono sum %.2f LU quieter\n", stereoCorrelation(f, count),
                monoLossLu(f, count));
    std::printf("bands, dB of the energy (kHz): ");
    printBands(bandShares(powerSpectrum(f, count)));
    std::printf("\n");
    size_t tail = static_cast<size_t>(ENDING_SECONDS * RENDER_RATE);
    if (count > tail) {
        std::printf("ending: last %.0f ms at %.1f dBFS RMS, peak %.1f dBFS\n", ENDING_SECONDS * 1000.0,
                    levelDb(f + (count - tail) * 2, tail), samplePeakDb(f + (count - tail) * 2, tail));
    }
}

// Per order position: RMS, loudness and correlation.
static void printOrders(const std::vector<int16_t>& frames, std::vector<size_t> starts)
{
    starts.push_back(frames.size() / 2);
    for (size_t i = 0; i + 1 < starts.size(); i++) {
        const int16_t* f = frames.data() + starts[i] * 2;
        size_t count = starts[i + 1] - starts[i];
        std::printf("order %2zu  %6.2f-%6.2f s  RMS %6.1f dBFS  %6.1f LUFS  correlation %.2f\n", i, seconds(starts[i]),
                    seconds(starts[i + 1]), levelDb(f, count), measureLoudness(f, count).integrated,
                    stereoCorrelation(f, count));
    }
}

// How strongly each marker row's hit comes through, by what is struck under it, and the hit that
// stands out least from what it lands on.
static void printHits(const xmp_module* mod, const std::vector<int16_t>& frames, const std::vector<size_t>& rowStarts)
{
    double sum[3] = {}, count[3] = {};
    double lowest = 1e9;
    int lowestOrder = 0, lowestRow = 0;
    size_t index = 0;
    for (int order = 0; order < mod->len; order++) {
        const xmp_pattern* pattern = mod->xxp[mod->xxo[order]];
        for (int row = 0; row < pattern->rows; row++, index++) {
            bool marker = false, kick = false, snare = false;
            for (int channel = 0; channel < mod->chn; channel++) {
                const xmp_event& e = mod->xxt[pattern->index[channel]]->event[row];
                if (!e.note || e.note > XMP_MAX_KEYS) continue;
                marker |= e.ins == MARKER_INSTRUMENT;
                kick |= e.ins == KICK_INSTRUMENT;
                snare |= e.ins == SNARE_INSTRUMENT;
            }
            if (!marker || index >= rowStarts.size()) continue;
            Onset onset = measureOnset(frames.data(), frames.size() / 2, rowStarts[index]);
            int kind = kick && snare ? 2 : snare ? 1 : 0;
            sum[kind] += onset.strength;
            count[kind]++;
            if (onset.strength - onset.before < lowest) {
                lowest = onset.strength - onset.before;
                lowestOrder = order;
                lowestRow = row;
            }
        }
    }
    auto mean = [&](int kind) { return count[kind] ? sum[kind] / count[kind] : 0.0; };
    std::printf("marker hits, mean onset strength: kick %.1f, snare %.1f, both %.1f LUFS; the least prominent "
                "%.1f dB against what it lands on (order %d row %d)\n",
                mean(0), mean(1), mean(2), lowest, lowestOrder, lowestRow);
}

// When the last sounding note starts, as seen from the song's end.
static void printLastNote(const xmp_module* mod, const std::vector<size_t>& rowStarts, size_t end)
{
    size_t index = 0, last = 0;
    for (int order = 0; order < mod->len; order++) {
        const xmp_pattern* pattern = mod->xxp[mod->xxo[order]];
        for (int row = 0; row < pattern->rows; row++, index++) {
            for (int channel = 0; channel < mod->chn; channel++) {
                const xmp_event& e = mod->xxt[pattern->index[channel]]->event[row];
                bool silent = e.vol == 1;  // volume column 0
                if (e.note && e.note <= XMP_MAX_KEYS && e.ins != MARKER_INSTRUMENT && !silent && index < rowStarts.size()) {
                    last = std::max(last, rowStarts[index]);
                }
            }
        }
    }
    std::printf("last note starts at %.3f s, %.3f s before the end\n", seconds(last), seconds(end - last));
}

// Each channel alone: its loudness, its strongest frequency and its share of the top band.
static void printStems(const std::vector<uint8_t>& bytes, int channels)
{
    for (int channel = 0; channel < channels; channel++) {
        std::vector<int16_t> stem = renderChannels(bytes.data(), bytes.size(), 1u << channel);
        size_t count = stem.size() / 2;
        Loudness loudness = measureLoudness(stem.data(), count);
        if (loudness.integrated <= -70.0) continue;
        Spectrum spectrum = powerSpectrum(stem.data(), count, 16384);
        BandShares shares = bandShares(spectrum);
        std::printf("channel %2d  %6.1f LUFS  strongest %6.0f Hz  correlation %5.2f  bands ", channel,
                    loudness.integrated, strongestHz(spectrum, 20.0, 20000.0), stereoCorrelation(stem.data(), count));
        printBands(shares);
        std::printf("\n");
    }
}

int reportModule(const std::vector<uint8_t>& bytes, bool stems)
{
    xmp_context context = xmp_create_context();
    if (xmp_load_module_from_memory(context, bytes.data(), static_cast<long>(bytes.size())) != 0) {
        std::fprintf(stderr, "compose: not a module the player loads\n");
        xmp_free_context(context);
        return 1;
    }
    xmp_module_info info;
    xmp_get_module_info(context, &info);
    const xmp_module* mod = info.mod;
    int strikes = 0, rows = 0, most = 0;
    for (int order = 0; order < mod->len; order++) {
        const xmp_pattern* pattern = mod->xxp[mod->xxo[order]];
        for (int row = 0; row < pattern->rows; row++) {
            int onRow = 0;
            for (int channel = 0; channel < mod->chn; channel++) {
                const xmp_event& e = mod->xxt[pattern->index[channel]]->event[row];
                if (e.ins == MARKER_INSTRUMENT && e.note) onRow++;
            }
            strikes += onRow;
            rows += onRow ? 1 : 0;
            most = std::max(most, onRow);
        }
    }
    std::printf("size %zu bytes, song %d ms by the player's reckoning\n", bytes.size(), info.seq_data[0].duration);
    std::printf("beat marker: %d strikes on %d rows, at most %d on a row\n", strikes, rows, most);

    std::vector<size_t> orderStarts, rowStarts;
    std::vector<int16_t> frames = renderOnePass(bytes.data(), bytes.size(), &orderStarts, &rowStarts);
    printMeters(frames);
    printLastNote(mod, rowStarts, frames.size() / 2);
    printHits(mod, frames, rowStarts);
    printOrders(frames, orderStarts);
    if (stems) printStems(bytes, mod->chn);
    xmp_release_module(context);
    xmp_free_context(context);
    return 0;
}
