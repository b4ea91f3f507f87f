// The embedded soundtrack "CHIP1": the structure the demo relies on, how it sounds when played
// as the demo plays it, and that the committed module is exactly what the composer writes.
#include <gtest/gtest.h>

#include <xmp.h>

#include <cmath>
#include <cstdlib>
#include <map>
#include <set>
#include <vector>

#include "assets/resources.h"
#include "tools/compose/chip1.h"
#include "tools/compose/meters.h"

namespace {

constexpr int MARKER = 9;  // 1-based, as the file counts
constexpr int EMPTY_INSTRUMENT = 8;
constexpr int KICK = 1;
constexpr int SNARE = 2;

std::vector<uint8_t> embeddedModule()
{
    std::vector<uint8_t> bytes;
    ResourceBlob* blob = findResourceBlob("CHIP1", "MODMUSIC");
    if (blob) {
        bytes.assign(blob->data, blob->data + blob->size);
        std::free(blob);
    }
    return bytes;
}

int header16(const std::vector<uint8_t>& bytes, size_t offset)
{
    return bytes[offset] | bytes[offset + 1] << 8;
}

class Chip1 : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        bytes = new std::vector<uint8_t>(embeddedModule());
        context = xmp_create_context();
        loaded = !bytes->empty() &&
                 xmp_load_module_from_memory(context, bytes->data(), static_cast<long>(bytes->size())) == 0;
        if (loaded) xmp_get_module_info(context, &info);
    }
    static void TearDownTestSuite()
    {
        if (loaded) xmp_release_module(context);
        xmp_free_context(context);
        delete bytes;
    }
    void SetUp() override
    {
        ASSERT_TRUE(loaded) << "CHIP1/MODMUSIC missing or not a module the player loads";
    }

    static const xmp_event& event(int order, int row, int channel)
    {
        const xmp_module* mod = info.mod;
        return mod->xxt[mod->xxp[mod->xxo[order]]->index[channel]]->event[row];
    }

    static std::vector<uint8_t>* bytes;
    static xmp_context context;
    static bool loaded;
    static xmp_module_info info;
};

std::vector<uint8_t>* Chip1::bytes = nullptr;
xmp_context Chip1::context = nullptr;
bool Chip1::loaded = false;
xmp_module_info Chip1::info{};

TEST_F(Chip1, HeaderHasTheShapeThePlayerExpects)
{
    const std::vector<uint8_t>& b = *bytes;
    ASSERT_GT(b.size(), 336u);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(b.data()), 17), "Extended Module: ");
    EXPECT_EQ(header16(b, 58), 0x0104);
    EXPECT_EQ(header16(b, 64), 11);      // song length
    EXPECT_EQ(header16(b, 66), 0);       // restart position
    EXPECT_EQ(header16(b, 68), 16);      // channels
    EXPECT_EQ(header16(b, 70), 10);      // patterns
    EXPECT_EQ(header16(b, 72), 9);       // instruments
    EXPECT_EQ(header16(b, 74) & 1, 1);   // linear frequency table
    EXPECT_EQ(header16(b, 76), 6);       // speed
    EXPECT_EQ(header16(b, 78), 108);     // BPM
    EXPECT_LT(b.size(), 2u * 1024 * 1024);

    const xmp_module* mod = info.mod;
    EXPECT_EQ(mod->chn, 16);
    EXPECT_EQ(mod->len, 11);
    EXPECT_EQ(mod->rst, 0);
    EXPECT_EQ(mod->ins, 9);
    EXPECT_EQ(mod->spd, 6);
    EXPECT_EQ(mod->bpm, 108);
}

TEST_F(Chip1, SongPlaysTenPatternsOfSixtyFourRowsWithExactlyOneRepeated)
{
    const xmp_module* mod = info.mod;
    std::map<int, int> plays;
    for (int order = 0; order < mod->len; order++) {
        int pattern = mod->xxo[order];
        ASSERT_LT(pattern, 10);
        EXPECT_EQ(mod->xxp[pattern]->rows, 64) << "pattern " << pattern;
        plays[pattern]++;
    }
    EXPECT_EQ(plays.size(), 10u);
    int repeated = 0;
    for (auto [pattern, count] : plays) {
        EXPECT_LE(count, 2) << "pattern " << pattern;
        if (count == 2) repeated++;
    }
    EXPECT_EQ(repeated, 1);
}

// Rows alternate 84 and 108 BPM at speed 6; a stray speed change, jump, break, loop or delay
// would move every beat after it.
TEST_F(Chip1, EveryRowSetsTheSwungTempoAndNothingElseMovesTime)
{
    const xmp_module* mod = info.mod;
    for (int order = 0; order < mod->len; order++) {
        for (int row = 0; row < 64; row++) {
            int tempoSettings = 0;
            for (int channel = 0; channel < mod->chn; channel++) {
                const xmp_event& e = event(order, row, channel);
                for (auto [type, param] : {std::pair{e.fxt, e.fxp}, std::pair{e.f2t, e.f2p}}) {
                    if (type == 0x0f) {
                        EXPECT_GE(param, 0x20) << "speed change at order " << order << " row " << row;
                        EXPECT_EQ(param, row % 2 == 0 ? 84 : 108) << "order " << order << " row " << row;
                        tempoSettings++;
                    }
                    EXPECT_NE(type, 0x0b) << "order " << order << " row " << row;
                    EXPECT_NE(type, 0x0d) << "order " << order << " row " << row;
                    bool loopOrDelay = type == 0x0e && ((param >> 4) == 0x6 || (param >> 4) == 0xe);
                    EXPECT_FALSE(loopOrDelay) << "order " << order << " row " << row;
                }
            }
            EXPECT_EQ(tempoSettings, 1) << "order " << order << " row " << row;
        }
    }
}

TEST_F(Chip1, OnePassLastsAboutOneHundredAndTwelveSeconds)
{
    EXPECT_NEAR(info.seq_data[0].duration / 1000.0, 111.75, 0.1);
}

TEST_F(Chip1, MarkerIsOneSilentSampleAndInstrumentEightIsEmpty)
{
    const xmp_module* mod = info.mod;
    const xmp_instrument& marker = mod->xxi[MARKER - 1];
    ASSERT_EQ(marker.nsm, 1);
    EXPECT_EQ(mod->xxs[marker.sub[0].sid].len, 0);
    EXPECT_EQ(mod->xxi[EMPTY_INSTRUMENT - 1].nsm, 0);
    for (int instrument = 1; instrument <= 7; instrument++) {
        const xmp_instrument& ins = mod->xxi[instrument - 1];
        ASSERT_EQ(ins.nsm, 1) << "instrument " << instrument;
        EXPECT_GT(mod->xxs[ins.sub[0].sid].len, 1000) << "instrument " << instrument;
        EXPECT_TRUE(mod->xxs[ins.sub[0].sid].flg & XMP_SAMPLE_16BIT) << "instrument " << instrument;
    }
}

// Marker strikes on each row of each order position, as the scenes were tuned for them: a beat
// moved, added or lost would put the picture's pulses off the music.
const char* const MARKER_ROWS[11] = {
    "1...1...1...1...1...1...1...1...1...1.1.1...1.1.1...1.1.1.1.1111",
    "1.1.1.1.1.1.11111.1.1.1.1.1.11111.1.1.1.1.1.11111.1.1.1.2.1.1111",
    "2.1..11.1.1..1111.1..11.1.1.11112.1..11.1.1..1111.111.1121112121",
    "2.1..1111.1..1112.1..1111.11.1112.1..11.1.1..1112.1..1111.1.1111",
    "2.1..11.1.1..1112.1.111.1.11.1112.1..1111.1..1112.1.11111.111111",
    "2.1..1111.1..1112.1..1111.11.1112.1..11.1.1..1112.1..1111.1.1111",
    "2...............1...........1...1...1...1...1...1.1.1.1.1.111111",
    "2...1...1...1.1.2.1.1.1.1.1.1.112.1.2.1.2.1.2.112111211121212121",
    "2.2.1.211.2.1.211.2.1.2.1.2.1.211.2.1.2.1.2.1.211.2.1.211.2.2121",
    "2.2.1.211.2.1.211.2.1.2.1.2.1.211.2.1.2.1.2.1.211.2.1.212.2.2111",
    "2.1..11.1.1..1111.1..11.1.1.11112.1.1.1.2.2121212...1...1...1.1.",
};

// The scenes react to the marker, so it must strike exactly where the listener hears a kick
// or a snare, with the counts the scenes were tuned for, and never on a ghost note: no drum
// under the marker is played at less than three quarters of the volume of the one before it.
TEST_F(Chip1, MarkerStrikesFourHundredSeventyFourTimesOnTheKickAndSnareRows)
{
    const xmp_module* mod = info.mod;
    int strikes = 0, markedRows = 0, mostOnARow = 0, emptyInstrumentNotes = 0;
    for (int order = 0; order < mod->len; order++) {
        int previousVolume[2] = {0, 0};
        for (int row = 0; row < 64; row++) {
            int onRow = 0;
            bool drum = false;
            for (int channel = 0; channel < mod->chn; channel++) {
                const xmp_event& e = event(order, row, channel);
                if (e.ins == MARKER && e.note) onRow++;
                if (e.ins == EMPTY_INSTRUMENT) emptyInstrumentNotes++;
                if ((e.ins == KICK || e.ins == SNARE) && e.note) {
                    drum = true;
                    int volume = e.vol ? e.vol - 1 : 64;
                    EXPECT_GE(volume * 4, previousVolume[e.ins - KICK] * 3) << "ghost note at order " << order << " row " << row;
                    previousVolume[e.ins - KICK] = volume;
                }
            }
            EXPECT_EQ(onRow > 0, drum) << "order " << order << " row " << row;
            EXPECT_EQ(MARKER_ROWS[order][row], onRow ? '0' + onRow : '.') << "order " << order << " row " << row;
            strikes += onRow;
            if (onRow) markedRows++;
            mostOnARow = std::max(mostOnARow, onRow);
        }
    }
    EXPECT_EQ(strikes, 474);
    EXPECT_EQ(markedRows, 400);
    EXPECT_EQ(mostOnARow, 2);
    EXPECT_EQ(emptyInstrumentNotes, 0);
}

// Played as the demo plays it, the pass is mastered: loud enough beside other music and below
// full scale between the samples too, wide but safe in mono, not harsh, every hit under the
// marker heard, the arc of the piece (quiet intro, full main part, softer breakdown, loudest
// return), and silence before the song ends rather than a sound cut off.
TEST_F(Chip1, RenderedPassIsMasteredAndEndsInSilence)
{
    std::vector<size_t> starts, rows;
    std::vector<int16_t> frames = renderOnePass(bytes->data(), bytes->size(), &starts, &rows);
    size_t count = frames.size() / 2;
    EXPECT_NEAR(count / static_cast<double>(RENDER_RATE), 111.75, 0.1);

    Loudness loudness = measureLoudness(frames.data(), count);
    EXPECT_NEAR(loudness.integrated, -14.0, 1.0);
    EXPECT_GE(loudness.range, 3.0);
    EXPECT_LE(loudness.range, 8.0);
    EXPECT_LE(truePeakDb(frames.data(), count), -1.0);
    EXPECT_EQ(clippedSamples(frames.data(), count), 0);
    double correlation = stereoCorrelation(frames.data(), count);
    EXPECT_GE(correlation, 0.6);
    EXPECT_LE(correlation, 0.85);
    EXPECT_LT(monoLossLu(frames.data(), count), 1.5);
    double top = bandShares(powerSpectrum(frames.data(), count)).db[BAND_COUNT - 1];  // 6-20 kHz
    EXPECT_GE(top, -26.0);
    EXPECT_LE(top, -19.0);

    size_t tail = RENDER_RATE / 4;
    EXPECT_LT(samplePeakDb(frames.data() + (count - tail) * 2, tail), -50.0);
    // Nothing drops out before: every second up to the closing chord's fade is clearly audible.
    for (size_t second = 0; second < 109; second++) {
        EXPECT_GT(levelDb(frames.data() + second * RENDER_RATE * 2, RENDER_RATE), -32.0) << "second " << second;
    }

    std::vector<double> order;
    starts.push_back(count);
    ASSERT_EQ(starts.size(), 12u);
    for (size_t i = 0; i < 11; i++) order.push_back(measureLoudness(frames.data() + starts[i] * 2, starts[i + 1] - starts[i]).integrated);
    EXPECT_LT(order[0], order[3] - 3.0);  // intro below the main theme
    EXPECT_LT(order[6], order[3] - 1.0);  // breakdown below the main theme
    EXPECT_GT(order[8], order[3]);        // the return tops it

    // The snare comes through as strongly as the kick (within 3 dB on average).
    double sum[2] = {}, hits[2] = {};
    ASSERT_EQ(rows.size(), 704u);
    for (size_t row = 0; row < rows.size(); row++) {
        bool kick = event(row / 64, row % 64, 0).ins == KICK, snare = event(row / 64, row % 64, 1).ins == SNARE;
        if (kick == snare) continue;
        sum[snare] += measureOnset(frames.data(), count, rows[row]).strength;
        hits[snare]++;
    }
    EXPECT_NEAR(sum[1] / hits[1], sum[0] / hits[0], 3.0);
}

// Orders 3 and 5 play the same pattern; the second time, after pattern 4 has left the counter-line
// and ride channels up, the descant and the ride join in.
TEST_F(Chip1, ThemesSecondPlayBringsTheDescantAndTheRide)
{
    std::vector<size_t> starts;
    renderOnePass(bytes->data(), bytes->size(), &starts);
    std::vector<int16_t> layer = renderChannels(bytes->data(), bytes->size(), 1u << 11 | 1u << 12);
    ASSERT_EQ(starts.size(), 11u);
    ASSERT_EQ(info.mod->xxo[3], info.mod->xxo[5]);
    EXPECT_LT(levelDb(layer.data() + starts[3] * 2, starts[4] - starts[3]), -90.0);
    EXPECT_GT(levelDb(layer.data() + starts[5] * 2, starts[6] - starts[5]), -40.0);
}

TEST(Chip1Composer, CommittedModuleIsWhatTheComposerWrites)
{
    std::vector<uint8_t> composed = chip1Bytes();
    EXPECT_EQ(composed, chip1Bytes());
    EXPECT_TRUE(composed == embeddedModule()) << "resources/chip1.xm is stale: rebuild it with the chip1_module target";
}

}  // namespace
