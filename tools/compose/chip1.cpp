#include "tools/compose/chip1.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>

// ---------------------------------------------------------------------------------------------
// The song's layout: ten patterns of 64 rows, eight bars of eight rows each. A row pair (one
// long row at 84 BPM, one short at 108 BPM) is one beat, so every beat swings long-short.

static constexpr int CHANNELS = 16;
static constexpr int ROWS = 64;
static constexpr int CHORD_ROWS = 16;
static constexpr int EVEN_ROW_BPM = 84;
static constexpr int ODD_ROW_BPM = 108;
static constexpr int SPEED = 6;

// Channels.
static constexpr int CH_KICK = 0;
static constexpr int CH_SNARE = 1;
static constexpr int CH_HAT = 2;
static constexpr int CH_BASS = 3;
static constexpr int CH_PAD = 4;  // three voices: 4, 5, 6
static constexpr int CH_LEAD = 7;
static constexpr int CH_LEAD_ECHO = 8;
static constexpr int CH_ARP = 9;
static constexpr int CH_ARP_ECHO = 10;
static constexpr int CH_HARMONY = 11;
static constexpr int CH_RIDE = 11;  // where the lead has no harmony
static constexpr int CH_COUNTER = 12;
static constexpr int CH_KICK_MARK = 13;
static constexpr int CH_SNARE_MARK = 14;
static constexpr int CH_TEMPO = 15;

// Instruments, numbered from 1 as the file numbers them.
static constexpr int INS_KICK = 1;
static constexpr int INS_SNARE = 2;
static constexpr int INS_HAT = 3;
static constexpr int INS_BASS = 4;
static constexpr int INS_PAD = 5;
static constexpr int INS_LEAD = 6;
static constexpr int INS_PLUCK = 7;
static constexpr int INS_MARKER = 9;

static constexpr int ECHO_DELAY = 3;
static constexpr int NOTE_OFF = 97;
static constexpr int DRUM_NOTE = 58;     // drums play at their own sample rate
static constexpr int CRASH_NOTE = 53;    // E-4: the hat pitched down and left to ring
static constexpr int MARKER_NOTE = 49;
static constexpr int RIDE_NOTE = 51;     // D-4: the hat a fifth lower
static constexpr int TOM_STEPS[3] = {12, 8, 4};  // semitones above the kick

// Panning (0 left, 128 centre, 255 right): the chord spread wide, each echo opposite its voice.
static constexpr int PAD_PAN[3] = {0x18, 0x80, 0xe8};
static constexpr int LEAD_PAN = 0x78;
static constexpr int LEAD_ECHO_PAN = 0xe4;
static constexpr int HARMONY_PAN = 0xb0;
static constexpr int ARP_PAN = 0x30;
static constexpr int ARP_ECHO_PAN = 0xe0;
static constexpr int COUNTER_PAN = 0xd0;
static constexpr int RIDE_PAN = 0x40;

// ---------------------------------------------------------------------------------------------
// Synthesis. Every sample is made at 44100 Hz; tonal samples hold whole numbers of cycles of
// integer frequencies over one second, so a one-second loop closes without a seam.

static constexpr int SR = 44100;
static constexpr double TWO_PI = 6.283185307179586;

static std::vector<double> sineTable;

static void makeSineTable()
{
    if (!sineTable.empty()) return;
    sineTable.resize(SR);
    for (int i = 0; i < SR; i++) sineTable[i] = std::sin(TWO_PI * i / SR);
}

// sin(2 pi * cycles / SR) for a whole number of cycle-samples: exact phase, no drift.
static double sineAt(long long cycleSamples)
{
    return sineTable[static_cast<size_t>(cycleSamples % SR)];
}

// A small deterministic noise source (xorshift32), uniform in -1..1.
struct Noise {
    uint32_t state;
};

static double noiseNext(Noise& noise)
{
    noise.state ^= noise.state << 13;
    noise.state ^= noise.state >> 17;
    noise.state ^= noise.state << 5;
    return static_cast<double>(noise.state) / 2147483648.0 - 1.0;
}

// Scales to the given peak (fraction of full scale) and rounds to 16 bits.
static std::vector<int16_t> toPcm(const std::vector<double>& signal, double peak)
{
    double largest = 1e-9;
    for (double v : signal) largest = std::max(largest, std::fabs(v));
    std::vector<int16_t> pcm(signal.size());
    for (size_t i = 0; i < signal.size(); i++) pcm[i] = static_cast<int16_t>(std::lround(signal[i] / largest * peak * 32767.0));
    return pcm;
}

// Relative note and finetune that make a sample whose pitch at the native rate is
// baseHz sound at concert pitch (A-4 = 440 Hz) under the linear frequency table.
static void tuneSample(XmSample& sample, double baseHz)
{
    double semitones = 12.0 * std::log2(440.0 * SR / (8363.0 * baseHz)) - 9.0;
    long total = std::lround(semitones * 128.0);
    long relative = total >= 0 ? total / 128 : -((-total + 127) / 128);
    sample.relativeNote = static_cast<int>(relative);
    sample.finetune = static_cast<int>(total - relative * 128);
}

// One band-limited oscillator of an integer frequency: harmonics k with weight
// weight(k) (zero weights skipped), at sample n, with a fixed start offset in samples.
template <typename Weight>
static double harmonics(int hz, long long n, long long offset, int maxHz, Weight weight)
{
    double sum = 0.0;
    for (int k = 1; k * hz < maxHz; k++) {
        double w = weight(k);
        if (w != 0.0) sum += w * sineAt(static_cast<long long>(k) * hz * (n + offset));
    }
    return sum;
}

// Magnitude of a Butterworth low-pass of the given order at hz, used to shape harmonics.
static double lowpassGain(double hz, double cutoff, int order)
{
    return 1.0 / std::sqrt(1.0 + std::pow(hz / cutoff, 2.0 * order));
}

// A kick whose body settles at 55 Hz with its second and third harmonics beside it, so that small
// speakers, which lose the fundamental, still give its weight.
static XmSample kickSample()
{
    int length = SR * 45 / 100;
    std::vector<double> out(length);
    Noise noise{0x1234567u};
    double phase = 0.0, click = 0.0;
    for (int n = 0; n < length; n++) {
        double t = static_cast<double>(n) / SR;
        double hz = 55.0 + 110.0 * std::exp(-t / 0.03) + 220.0 * std::exp(-t / 0.004);
        phase += hz / SR;
        double body = (std::sin(TWO_PI * phase) + 0.3 * std::sin(2.0 * TWO_PI * phase)) * std::exp(-t / 0.2) *
                      std::min(1.0, t / 0.0008);
        click += 0.5 * (noiseNext(noise) - click);  // a dull click, not a hiss
        double fade = t > 0.38 ? std::max(0.0, (0.45 - t) / 0.07) : 1.0;
        out[n] = std::tanh(2.2 * (body + click * std::exp(-t / 0.003) * 0.6)) * fade;
    }
    XmSample sample;
    sample.data = toPcm(out, 0.97);
    sample.name = "kick";
    tuneSample(sample, 440.0);
    return sample;
}

// A snare with a clap's attack: three quick noise bursts, then the ringing tail over a
// tonal body; its noise sits between about 700 Hz and 5 kHz, where the ear finds it.
static XmSample snareSample()
{
    int length = SR * 4 / 10;
    std::vector<double> out(length);
    Noise noise{0x9e3779b9u};
    double low = 0.0, low2 = 0.0, high = 0.0, previous = 0.0;
    for (int n = 0; n < length; n++) {
        double t = static_cast<double>(n) / SR;
        double white = noiseNext(noise);
        low += 0.4 * (white - low);             // tame the top
        low2 += 0.5 * (low - low2);
        high = 0.9 * (high + low2 - previous);  // and the bottom
        previous = low2;
        double bursts = 0.0;
        for (double start : {0.0, 0.008, 0.016}) {
            if (t >= start) bursts += std::exp(-(t - start) / 0.004);
        }
        double tail = t >= 0.018 ? std::exp(-(t - 0.018) / 0.11) : t / 0.018;
        double body = (std::sin(TWO_PI * 185.0 * t) + 0.5 * std::sin(TWO_PI * 330.0 * t)) * std::exp(-t / 0.08);
        double fade = t > 0.34 ? std::max(0.0, (0.4 - t) / 0.06) : 1.0;
        out[n] = std::tanh(1.8 * (1.6 * high * (0.5 * bursts + 1.0 * tail) + 0.9 * body)) * fade;
    }
    XmSample sample;
    sample.data = toPcm(out, 0.95);
    sample.name = "snare";
    tuneSample(sample, 440.0);
    return sample;
}

// A metallic hat that rings like a cymbal; closed and half-open hats are the same note cut after
// one tick or four.
static XmSample hatSample()
{
    int length = SR * 9 / 10;
    std::vector<double> out(length);
    Noise noise{0x2545f491u};
    static constexpr double METAL_HZ[6] = {410.6, 608.8, 739.2, 1045.4, 1080.0, 1600.0};
    double previousIn = 0.0, high = 0.0, high2 = 0.0, previousHigh = 0.0, top = 0.0;
    for (int n = 0; n < length; n++) {
        double t = static_cast<double>(n) / SR;
        double metal = 0.0;
        for (double hz : METAL_HZ) metal += std::fmod(hz * 1.7 * t, 1.0) < 0.5 ? 1.0 : -1.0;
        double raw = 0.6 * noiseNext(noise) + 0.12 * metal;
        high = 0.6 * (high + raw - previousIn);
        previousIn = raw;
        high2 = 0.6 * (high2 + high - previousHigh);
        previousHigh = high;
        top += 0.55 * (high2 - top);  // the hiss above the metal rolled off
        double envelope = 0.55 * std::exp(-t / 0.018) + 0.45 * std::exp(-t / 0.24);
        double fade = t > 0.8 ? std::max(0.0, (0.9 - t) / 0.1) : 1.0;
        out[n] = top * envelope * std::min(1.0, t / 0.0005) * fade;
    }
    XmSample sample;
    sample.data = toPcm(out, 0.9);
    sample.name = "hat";
    sample.panning = 0xb8;
    tuneSample(sample, 440.0);
    return sample;
}

// A sustained tone: an attack of attackSamples in which the brightness falls from
// attackCutoff to cutoff, then a one-second loop at the settled brightness.
struct Voice {
    int hz;
    double level;
    bool square;  // odd harmonics only
    long long offset;
};

static XmSample toneSample(const char* name, const std::vector<Voice>& voices, int attackSamples, double attackCutoff,
                           double cutoff, int order, double baseHz, int maxHz)
{
    int length = attackSamples + SR;
    std::vector<double> out(length, 0.0);
    for (const Voice& voice : voices) {
        int count = maxHz / voice.hz + 1;
        std::vector<double> steady(count + 1, 0.0);
        for (int k = 1; k <= count; k++) {
            if (voice.square && k % 2 == 0) continue;
            steady[k] = voice.level / k * lowpassGain(static_cast<double>(k) * voice.hz, cutoff, order);
        }
        for (int n = 0; n < length; n++) {
            double sweep = n < attackSamples ? std::pow(1.0 - static_cast<double>(n) / attackSamples, 3.0) : 0.0;
            if (sweep == 0.0) {
                out[n] += harmonics(voice.hz, n, voice.offset, maxHz, [&](int k) { return steady[k]; });
            } else {
                double bright = cutoff + (attackCutoff - cutoff) * sweep;
                out[n] += harmonics(voice.hz, n, voice.offset, maxHz, [&](int k) {
                    if (voice.square && k % 2 == 0) return 0.0;
                    return voice.level / k * lowpassGain(static_cast<double>(k) * voice.hz, bright, order);
                });
            }
        }
    }
    XmSample sample;
    sample.data = toPcm(out, 0.9);
    sample.loopStart = attackSamples;
    sample.loopLength = SR;
    sample.loopType = 1;
    sample.name = name;
    tuneSample(sample, baseHz);
    return sample;
}

static XmSample bassSample()
{
    return toneSample("bass", {{110, 1.0, false, 0}, {111, 0.8, false, 9000}, {55, 1.6, false, 0}}, SR / 10, 3500.0,
                      700.0, 2, 110.0, 12000);
}

static XmSample padSample()
{
    return toneSample("pad",
                      {{217, 0.7, false, 3100}, {219, 0.9, false, 17000}, {220, 1.0, false, 0},
                       {221, 0.9, false, 25000}, {223, 0.7, false, 8100}, {110, 0.6, false, 12000}},
                      0, 2200.0, 2200.0, 1, 220.0, 12000);
}

static XmSample leadSample()
{
    XmSample sample = toneSample("lead", {{440, 1.0, true, 0}, {441, 0.55, false, 20000}, {880, 0.15, false, 0}},
                                 SR / 20, 7000.0, 3800.0, 2, 440.0, 8000);
    sample.panning = 112;
    return sample;
}

// A two-operator FM pluck whose brightness dies away with the note.
static XmSample pluckSample()
{
    int length = SR * 7 / 10;
    std::vector<double> out(length);
    for (int n = 0; n < length; n++) {
        double t = static_cast<double>(n) / SR;
        double index = 2.6 * std::exp(-t / 0.05) + 0.35;
        double modulator = std::sin(TWO_PI * 880.0 * t);
        double carrier = std::sin(TWO_PI * 440.0 * t + index * modulator);
        double envelope = std::exp(-t / 0.2) * std::min(1.0, t / 0.001);
        double fade = t > 0.6 ? std::max(0.0, (0.7 - t) / 0.1) : 1.0;
        out[n] = carrier * envelope * fade;
    }
    XmSample sample;
    sample.data = toPcm(out, 0.9);
    sample.name = "pluck";
    sample.panning = 96;
    tuneSample(sample, 440.0);
    return sample;
}

static std::vector<XmInstrument> makeInstruments()
{
    makeSineTable();
    std::vector<XmInstrument> instruments(9);
    instruments[0] = {"kick", {kickSample()}, {}, 0};
    instruments[1] = {"snare", {snareSample()}, {}, 0};
    instruments[2] = {"hat", {hatSample()}, {}, 0};
    instruments[3] = {"bass", {bassSample()}, {{0, 64}, {3, 50}, {24, 40}}, 3000};
    instruments[4] = {"pad", {padSample()}, {{0, 0}, {14, 64}, {50, 52}}, 700};
    instruments[5] = {"lead", {leadSample()}, {{0, 40}, {2, 64}, {10, 50}}, 2400};
    instruments[6] = {"pluck", {pluckSample()}, {}, 0};
    instruments[7] = {"", {}, {}, 0};
    XmInstrument marker;
    marker.name = "beat";
    marker.samples.push_back(XmSample{});
    marker.samples[0].name = "beat";
    instruments[8] = marker;
    return instruments;
}

// ---------------------------------------------------------------------------------------------
// The score.

// XM note number of a name like "A4", "G#5", "C6" (C-0 is 1).
static int noteNumber(const std::string& name)
{
    static const int SEMITONE[7] = {9, 11, 0, 2, 4, 5, 7};  // A B C D E F G
    int semitone = SEMITONE[name[0] - 'A'];
    size_t i = 1;
    if (name[i] == '#') {
        semitone++;
        i++;
    }
    return (name[i] - '0') * 12 + semitone + 1;
}

struct Chord {
    const char* name;
    const char* pad[3];
    const char* root;  // bass root, octave 2..3
};

static const Chord CHORDS[] = {
    {"Am", {"A3", "C4", "E4"}, "A2"},  {"F", {"A3", "C4", "F4"}, "F2"},  {"C", {"G3", "C4", "E4"}, "C3"},
    {"G", {"G3", "B3", "D4"}, "G2"},   {"Dm", {"A3", "D4", "F4"}, "D3"}, {"Em", {"G3", "B3", "E4"}, "E2"},
    {"E", {"G#3", "B3", "E4"}, "E2"},
};

static const Chord& chordNamed(const char* name)
{
    for (const Chord& chord : CHORDS) {
        if (std::strcmp(chord.name, name) == 0) return chord;
    }
    return CHORDS[0];
}

// One pattern of the score. Drum, hat, bass, arpeggio and ride lines have one character per row:
//   drums: K kick, S snare, B kick and snare, X kick, snare and crash, 1 2 3 toms (the kick
//          tuned up, high to low), k a kick damped after one tick
//   hats:  h closed, H accented closed, o half-open, . none
//   bass:  R root, O octave up, F fifth, - key off, . hold
//   arp:   chord-tone index (0..6), . none
//   ride:  x the hat tuned down, cut after three ticks (left to ring where the line names its
//          own instrument, as a pickup), . none
// Every drum hit strikes the beat marker once, B and X twice.
// The lead and the counter-line are lists of "note:rows" tokens ("r" rests), 64 rows in all.
// A counter-line given without instrument and volume plays on with whatever its channel was
// left with, so one pattern can sound different on its two plays: silent after a pattern that
// leaves the channel at volume 0, heard after one that leaves it up.
struct Section {
    const char* chords[4];
    std::string drums;
    std::string hats;
    std::string bass;
    std::string arp;
    std::string lead;
    std::string counter = "";
    std::string ride = "";
    int padVolume[4];
    int arpVolume = 0;
    int bassVolume = 0;
    int leadVolume = 0;
    int kickVolume = 0;
    int snareVolume = 0;
    int hatVolume = 0;
    int counterInstrument = 0;  // 0: the channel's own
    int counterVolume = -1;     // -1: the channel's own
    int rideVolume = -1;        // -1: the channel's own; ride notes then name no instrument either
    bool harmony = false;       // the lead doubled a third below (on the ride's channel)
    bool snareRamp = false;     // the snare grows louder through the pattern
    bool fadeOut = false;       // the last chord dies away and the last hits are damped
    bool opensSong = false;     // the pad starts here; everywhere else it glides from chord to chord
};

static std::string repeatBar(const char* bar, int times)
{
    std::string out;
    for (int i = 0; i < times; i++) out += bar;
    return out;
}

static void setCell(XmPattern& pattern, int row, int channel, int note, int instrument, int volume, int effect = 0,
                    int param = 0)
{
    XmCell& cell = pattern.at(row, channel, CHANNELS);
    cell.note = static_cast<uint8_t>(note);
    cell.instrument = static_cast<uint8_t>(instrument);
    cell.volume = static_cast<uint8_t>(volume >= 0 ? 0x10 + std::min(volume, 64) : 0);
    cell.effect = static_cast<uint8_t>(effect);
    cell.param = static_cast<uint8_t>(param);
}

// The harmony under a lead note: the highest tone of the chord at least a minor third below,
// so the second voice always sits inside the chord of the moment.
static int harmonyBelow(int note, const Chord& chord)
{
    int best = 0;
    for (const char* tone : chord.pad) {
        for (int candidate = noteNumber(tone) - 24; candidate <= note - 3; candidate += 12) best = std::max(best, candidate);
    }
    return best;
}

static void writeDrums(XmPattern& pattern, const Section& section)
{
    for (int row = 0; row < ROWS; row++) {
        char d = section.drums[row];
        bool tom = d >= '1' && d <= '3';
        bool kick = d == 'K' || d == 'B' || d == 'X' || d == 'k' || tom;
        bool snare = d == 'S' || d == 'B' || d == 'X';
        if (kick) {
            int volume = section.kickVolume;
            if (section.fadeOut && row > ROWS - CHORD_ROWS) volume -= (row - (ROWS - CHORD_ROWS)) * 2;
            int note = tom ? DRUM_NOTE + TOM_STEPS[d - '1'] : DRUM_NOTE;
            if (d == 'k') {
                setCell(pattern, row, CH_KICK, note, INS_KICK, volume, 0x0e, 0xc1);
            } else {
                setCell(pattern, row, CH_KICK, note, INS_KICK, tom ? volume - 6 : volume);
            }
            setCell(pattern, row, CH_KICK_MARK, MARKER_NOTE, INS_MARKER, -1);
        }
        if (snare) {
            int volume = section.snareRamp ? section.snareVolume * (56 + row) / 119 : section.snareVolume;
            setCell(pattern, row, CH_SNARE, DRUM_NOTE, INS_SNARE, volume);
            setCell(pattern, row, CH_SNARE_MARK, MARKER_NOTE, INS_MARKER, -1);
        }
        char h = section.hats[row];
        if (d == 'X') {
            setCell(pattern, row, CH_HAT, CRASH_NOTE, INS_HAT, section.hatVolume + 20);
        } else if (h == 'h' || h == 'H') {
            setCell(pattern, row, CH_HAT, DRUM_NOTE, INS_HAT, section.hatVolume + (h == 'H' ? 8 : 0), 0x0e, 0xc1);
        } else if (h == 'o') {
            setCell(pattern, row, CH_HAT, DRUM_NOTE, INS_HAT, section.hatVolume + 4, 0x0e, 0xc4);
        }
    }
}

static void writeRide(XmPattern& pattern, const Section& section)
{
    for (int row = 0; row < ROWS && row < static_cast<int>(section.ride.size()); row++) {
        if (section.ride[row] != 'x') continue;
        if (section.rideVolume >= 0) {
            setCell(pattern, row, CH_RIDE, RIDE_NOTE, INS_HAT, section.rideVolume, 0x08, RIDE_PAN);
        } else {
            setCell(pattern, row, CH_RIDE, RIDE_NOTE, 0, -1, 0x0e, 0xc3);
        }
    }
}

static void writeHarmony(XmPattern& pattern, const Section& section)
{
    for (int c = 0; c < 4; c++) {
        const Chord& chord = chordNamed(section.chords[c]);
        int first = c * CHORD_ROWS;
        for (int v = 0; v < 3; v++) {
            int note = noteNumber(chord.pad[v]);
            if (section.opensSong && c == 0) {
                setCell(pattern, first, CH_PAD + v, note, INS_PAD, section.padVolume[c], 0x08, PAD_PAN[v]);
            } else {
                setCell(pattern, first, CH_PAD + v, note, 0, section.padVolume[c], 0x03, 0xff);
            }
        }
        int root = noteNumber(chord.root);
        int tones[7];
        for (int v = 0; v < 3; v++) {
            tones[v] = noteNumber(chord.pad[v]) + 12;
            tones[v + 3] = tones[v] + 12;
        }
        tones[6] = tones[0] + 24;
        for (int row = first; row < first + CHORD_ROWS; row++) {
            char b = section.bass[row];
            if (b == 'R' || b == 'O' || b == 'F') {
                int note = root + (b == 'O' ? 12 : b == 'F' ? 7 : 0);
                setCell(pattern, row, CH_BASS, note, INS_BASS, section.bassVolume);
            } else if (b == '-') {
                setCell(pattern, row, CH_BASS, NOTE_OFF, 0, -1);
            }
            char a = section.arp[row];
            if (a >= '0' && a <= '6' && section.arpVolume > 0) {
                int note = tones[a - '0'];
                int volume = section.arpVolume - (row % 2 ? 6 : 0);
                setCell(pattern, row, CH_ARP, note, INS_PLUCK, volume, 0x08, ARP_PAN);
                if (row + ECHO_DELAY < ROWS) {
                    setCell(pattern, row + ECHO_DELAY, CH_ARP_ECHO, note, INS_PLUCK, volume * 2 / 5, 0x08, ARP_ECHO_PAN);
                }
            }
        }
    }
}

// Calls `play(row, note, rows)` for each token of a "note:rows" list; `note` is NOTE_OFF for a rest.
template <typename Play>
static void forEachNote(const std::string& text, Play play)
{
    int row = 0;
    size_t at = 0;
    while (at < text.size() && row < ROWS) {
        size_t end = text.find(' ', at);
        if (end == std::string::npos) end = text.size();
        std::string token = text.substr(at, end - at);
        at = end + 1;
        if (token.empty()) continue;
        size_t colon = token.find(':');
        std::string name = token.substr(0, colon);
        int length = std::stoi(token.substr(colon + 1));
        play(row, name == "r" ? NOTE_OFF : noteNumber(name), length);
        row += length;
    }
}

// The lead line, its echo three rows later on the other side, and (where asked) a
// harmony a third below. Long notes get a gentle vibrato after their first beat.
static void writeLead(XmPattern& pattern, const Section& section)
{
    forEachNote(section.lead, [&](int row, int note, int length) {
        bool rest = note == NOTE_OFF;
        bool previousRest = row == 0 || pattern.at(row - 1, CH_LEAD, CHANNELS).note == NOTE_OFF;
        if (rest && previousRest && row > 0) return;
        int volume = rest ? -1 : section.leadVolume;
        int instrument = rest ? 0 : INS_LEAD;
        int pan = rest ? 0 : 0x08;
        setCell(pattern, row, CH_LEAD, note, instrument, volume, pan, rest ? 0 : LEAD_PAN);
        if (section.harmony) {
            int under = rest ? NOTE_OFF : harmonyBelow(note, chordNamed(section.chords[row / CHORD_ROWS]));
            setCell(pattern, row, CH_HARMONY, under, instrument, rest ? -1 : section.leadVolume * 3 / 5, pan,
                    rest ? 0 : HARMONY_PAN);
        }
        if (row + ECHO_DELAY < ROWS) {
            setCell(pattern, row + ECHO_DELAY, CH_LEAD_ECHO, note, instrument, rest ? -1 : section.leadVolume * 2 / 5,
                    pan, rest ? 0 : LEAD_ECHO_PAN);
        }
        if (!rest) {
            for (int r = row + 2; r < row + length && length >= 4; r++) {
                XmCell& cell = pattern.at(r, CH_LEAD, CHANNELS);
                cell.effect = 0x04;
                cell.param = 0x43;
            }
        }
    });
}

// The counter-line: plucked notes, each left to ring; with no instrument or volume of its own
// it plays on with what its channel holds (see Section).
static void writeCounter(XmPattern& pattern, const Section& section)
{
    forEachNote(section.counter, [&](int row, int note, int) {
        if (note == NOTE_OFF) return;
        bool own = section.counterVolume >= 0;
        setCell(pattern, row, CH_COUNTER, note, own ? section.counterInstrument : 0, section.counterVolume,
                own ? 0x08 : 0, own ? COUNTER_PAN : 0);
    });
}

// The last chord dies away from its third row, five volume steps a row, so that it is gone by
// the last beat, a third of a second before the song ends.
static void writeFade(XmPattern& pattern)
{
    static const int FADE_CHANNELS[] = {CH_BASS, CH_PAD, CH_PAD + 1, CH_PAD + 2, CH_LEAD, CH_LEAD_ECHO, CH_HARMONY,
                                        CH_ARP, CH_ARP_ECHO};
    for (int row = ROWS - CHORD_ROWS + 2; row < ROWS; row++) {
        for (int channel : FADE_CHANNELS) {
            XmCell& cell = pattern.at(row, channel, CHANNELS);
            if (cell.note == 0 && cell.volume == 0) cell.volume = 0x60 | 1;
        }
    }
}

static XmPattern makePattern(const Section& section)
{
    XmPattern pattern;
    pattern.rows = ROWS;
    pattern.at(0, 0, CHANNELS);
    writeDrums(pattern, section);
    writeHarmony(pattern, section);
    writeLead(pattern, section);
    writeCounter(pattern, section);
    if (!section.harmony) writeRide(pattern, section);
    if (section.fadeOut) writeFade(pattern);
    for (int row = 0; row < ROWS; row++) {
        XmCell& cell = pattern.at(row, CH_TEMPO, CHANNELS);
        cell.effect = 0x0f;
        cell.param = static_cast<uint8_t>(row % 2 == 0 ? EVEN_ROW_BPM : ODD_ROW_BPM);
    }
    return pattern;
}

static const char* const ARP_UP = "01234321";
static const char* const ARP_WIDE = "02135324";
static const char* const ARP_RISE = "01234564";

static std::string silence()
{
    return std::string(ROWS, '.');
}

// The theme over Am F C G, and the descant that joins it on its second play.
static const char* const THEME =
    "E5:3 D5:1 C5:2 D5:2 E5:4 A5:4 G5:3 F5:1 E5:2 C5:2 F5:6 r:2 "
    "E5:3 D5:1 C5:2 B4:2 C5:4 E5:4 D5:3 C5:1 B4:2 D5:2 G5:6 r:2";
static const char* const DESCANT = "E6:6 D6:2 C6:8 C6:6 A5:2 F5:4 A5:4 G5:6 C6:2 E6:8 D6:6 B5:2 G5:4 B5:4";

// The ten patterns, in the order they are numbered in the file. Pattern 3 plays twice, around
// pattern 4: pattern 2 leaves the counter-line and ride channels at volume 0 and pattern 4 leaves
// them up, so the theme's second play brings the descant and the ride.
static std::vector<Section> makeSections()
{
    std::vector<Section> sections;
    // 0: intro under the growing knot. Pad swelling in, a soft pluck arpeggio, a heartbeat kick
    // and a roll down the toms into the build.
    sections.push_back({.chords = {"Am", "F", "C", "G"},
                        .drums = repeatBar("K...K...", 4) + repeatBar("K...K.K.", 3) + "K.K.1123",
                        .hats = silence(),
                        .bass = silence(),
                        .arp = repeatBar(ARP_UP, 8),
                        .lead = "r:64",
                        .padVolume = {22, 30, 38, 52},
                        .arpVolume = 26,
                        .kickVolume = 40,
                        .opensSong = true});
    // 1: build. The bass and the backbeat come in, hats on the offbeats.
    sections.push_back({.chords = {"Am", "F", "C", "G"},
                        .drums = repeatBar("K.S.K.S.K.S.KKSS", 3) + "K.S.K.S.B.S.KSSS",
                        .hats = repeatBar(".h.h.h.h", 8),
                        .bass = repeatBar("R..-R..-", 8),
                        .arp = repeatBar(ARP_UP, 8),
                        .lead = "r:64",
                        .padVolume = {52, 52, 52, 52},
                        .arpVolume = 28,
                        .bassVolume = 50,
                        .kickVolume = 50,
                        .snareVolume = 46,
                        .hatVolume = 20});
    // 2: build to the tunnel. Two-step drums, the harmony turning to the dominant, the lead
    // hinting at the theme over it, a snare roll. Leaves the counter-line and ride silent.
    sections.push_back({.chords = {"Am", "F", "Dm", "E"},
                        .drums = "X.S..KS.K.S..KSKK.S..KS.K.S.SKSKB.S..KS.K.S..KSKK.SSS.SSBSSSBSBS",
                        .hats = repeatBar("hHhHhHhH", 8),
                        .bass = repeatBar("R.R.R.RO", 8),
                        .arp = repeatBar(ARP_WIDE, 8),
                        .lead = "r:32 E5:6 D5:2 C5:8 D5:6 B4:2 G#4:4 r:4",
                        .counter = "r:63 E5:1",
                        .ride = silence().substr(0, 63) + "x",
                        .padVolume = {56, 56, 56, 56},
                        .arpVolume = 30,
                        .bassVolume = 56,
                        .leadVolume = 54,
                        .kickVolume = 54,
                        .snareVolume = 54,
                        .hatVolume = 21,
                        .counterInstrument = INS_PLUCK,
                        .counterVolume = 0,
                        .rideVolume = 0});
    // 3: main theme (played twice: the second time with the descant and the ride).
    sections.push_back({.chords = {"Am", "F", "C", "G"},
                        .drums = "X.S..KSKK.S..KSKB.S..KSSK.SS.KSKB.S..KS.K.S..KSKB.S..KSKK.S.SKSS",
                        .hats = repeatBar("hHhHhHho", 8),
                        .bass = repeatBar("R.RO.RRO", 8),
                        .arp = repeatBar(ARP_UP, 8),
                        .lead = THEME,
                        .counter = DESCANT,
                        .ride = repeatBar("x.x.x.x.", 8),
                        .padVolume = {58, 58, 58, 58},
                        .arpVolume = 30,
                        .bassVolume = 62,
                        .leadVolume = 60,
                        .kickVolume = 56,
                        .snareVolume = 58,
                        .hatVolume = 22});
    // 4: the theme answered an octave up over new harmony (Dm and F for F and C), a bass that
    // jumps through fifths and octaves, open hats on the offbeats and a roll down the toms.
    // Leaves the counter-line and ride up, with a pickup into the descant.
    sections.push_back({.chords = {"Am", "Dm", "F", "G"},
                        .drums = "X.S..KS.K.S..KSKB.S.KKS.K.SS.KSKB.S..KSKK.S..KSKB.S.KKSSK.112233",
                        .hats = repeatBar("hhoHhhoh", 8),
                        .bass = repeatBar("R.FRO.FO", 8),
                        .arp = repeatBar(ARP_WIDE, 8),
                        .lead = "A5:2 G5:1 A5:1 C6:4 B5:2 A5:2 E5:4 F5:2 E5:1 F5:1 A5:4 G5:2 F5:2 C5:4 "
                                "E5:2 D5:1 E5:1 G5:4 F5:2 E5:2 C5:4 B4:2 D5:2 G5:4 F5:2 E5:2 D5:4",
                        .counter = "r:60 B5:2 D6:2",
                        .ride = silence().substr(0, 62) + "x.",
                        .padVolume = {58, 58, 58, 58},
                        .arpVolume = 30,
                        .bassVolume = 62,
                        .leadVolume = 60,
                        .kickVolume = 56,
                        .snareVolume = 58,
                        .hatVolume = 22,
                        .counterInstrument = INS_PLUCK,
                        .counterVolume = 34,
                        .rideVolume = 20});
    // 5: breakdown. Drums fall away to a lone kick and a clap, the pad and the pluck carry it.
    sections.push_back({.chords = {"F", "G", "Em", "Am"},
                        .drums = "X...............K...........S...K...S...K...S...K.S.S.S.K.SSSSSS",
                        .hats = silence().substr(0, 32) + repeatBar(".h.h.h.h", 4),
                        .bass = repeatBar("R.......", 8),
                        .arp = repeatBar(ARP_RISE, 8),
                        .lead = "A5:6 G5:2 F5:4 C5:4 B5:6 A5:2 G5:4 D5:4 G5:6 B5:2 E5:4 B4:4 C5:6 B4:2 A4:8",
                        .padVolume = {42, 42, 42, 42},
                        .arpVolume = 30,
                        .bassVolume = 40,
                        .leadVolume = 42,
                        .kickVolume = 48,
                        .snareVolume = 48,
                        .hatVolume = 18});
    // 6: the climb back: the snare doubles up to a roll over a rising line to the dominant.
    sections.push_back({.chords = {"Dm", "Em", "F", "E"},
                        .drums = "B...S...S...S.S.B.S.S.S.S.S.S.SSB.S.B.S.B.S.B.SSBSSSBSSSBSBSBSBS",
                        .hats = repeatBar("hHhHhHhH", 8),
                        .bass = repeatBar("R.R.R.R.", 6) + repeatBar("RRRRRRRR", 2),
                        .arp = repeatBar(ARP_RISE, 8),
                        .lead = "A5:16 B5:16 C6:16 B5:8 G#5:8",
                        .padVolume = {54, 56, 58, 60},
                        .arpVolume = 34,
                        .bassVolume = 58,
                        .leadVolume = 48,
                        .kickVolume = 54,
                        .snareVolume = 62,
                        .hatVolume = 20,
                        .snareRamp = true});
    // 7: the return: four to the floor, the theme in thirds.
    sections.push_back({.chords = {"Am", "F", "C", "G"},
                        .drums = "X.B.K.BK" + repeatBar("K.B.K.BKK.B.K.B.", 2) + "K.B.K.BK" + "K.B.K.BS" + "K.B.BSBS",
                        .hats = repeatBar("hohohoho", 8),
                        .bass = repeatBar("R.RO.RRO", 8),
                        .arp = repeatBar(ARP_UP, 8),
                        .lead = THEME,
                        .padVolume = {58, 58, 58, 58},
                        .arpVolume = 30,
                        .bassVolume = 62,
                        .leadVolume = 58,
                        .kickVolume = 58,
                        .snareVolume = 60,
                        .hatVolume = 22,
                        .harmony = true});
    // 8: the high answer, turning to the dominant, the bass in driving octaves and the descant
    // back above it.
    sections.push_back({.chords = {"Am", "F", "Dm", "E"},
                        .drums = "X.B.K.BK" + repeatBar("K.B.K.BKK.B.K.B.", 2) + "K.B.K.BK" + "K.B.K.BS" + "B.B.BSSS",
                        .hats = repeatBar("hohohoho", 8),
                        .bass = repeatBar("RORORORO", 8),
                        .arp = repeatBar(ARP_WIDE, 8),
                        .lead = "A5:2 G5:1 A5:1 C6:4 B5:2 A5:2 E5:4 F5:2 E5:1 F5:1 A5:4 G5:2 F5:2 C5:4 "
                                "D5:2 C5:1 D5:1 F5:4 E5:2 D5:2 A5:4 G#5:4 B5:4 E6:4 D6:2 B5:2",
                        .counter = "E6:6 D6:2 C6:8 C6:6 A5:2 F5:4 A5:4 F5:6 A5:2 D6:8 B5:6 G#5:2 E5:4 G#5:4",
                        .padVolume = {58, 58, 58, 58},
                        .arpVolume = 30,
                        .bassVolume = 58,
                        .leadVolume = 58,
                        .kickVolume = 58,
                        .snareVolume = 60,
                        .hatVolume = 22,
                        .counterInstrument = INS_PLUCK,
                        .counterVolume = 30,
                        .harmony = true});
    // 9: ending: the deceptive turn to F, the cadence, and the home chord left to ring out over a
    // slowing heartbeat, gone before the song ends.
    sections.push_back({.chords = {"F", "G", "E", "Am"},
                        .drums = "X.S..KS.K.S..KSKK.S..KS.K.S.SKSKB.S.K.S.B.BSBSBSX...K...K...k.k.",
                        .hats = repeatBar("hHhHhHhH", 6) + silence().substr(0, 16),
                        .bass = repeatBar("R.RO.RRO", 6) + "R...............",
                        .arp = repeatBar(ARP_UP, 6) + "0.1.2.3.........",
                        .lead = "C6:4 A5:4 F5:4 A5:4 B5:4 G5:4 D5:4 G5:4 B5:6 A5:2 G#5:8 A5:16",
                        .padVolume = {58, 58, 58, 62},
                        .arpVolume = 30,
                        .bassVolume = 58,
                        .leadVolume = 56,
                        .kickVolume = 56,
                        .snareVolume = 60,
                        .hatVolume = 22,
                        .harmony = true,
                        .fadeOut = true});
    return sections;
}

XmModule composeChip1()
{
    XmModule module;
    module.title = "Yarvik: chip one";
    module.tracker = "yarvik compose";
    module.channels = CHANNELS;
    module.restart = 0;
    module.linearFrequencies = true;
    module.speed = SPEED;
    module.bpm = ODD_ROW_BPM;
    module.orders = {0, 1, 2, 3, 4, 3, 5, 6, 7, 8, 9};
    for (const Section& section : makeSections()) module.patterns.push_back(makePattern(section));
    module.instruments = makeInstruments();
    return module;
}

std::vector<uint8_t> chip1Bytes()
{
    return xmWrite(composeChip1());
}
