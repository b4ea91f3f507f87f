// The embedded soundtrack "CHIP1": the structure the demo relies on, its level when played as
// the demo plays it, and that the committed module is exactly what the composer writes.
#include <gtest/gtest.h>

#include <xmp.h>

#include <cmath>
#include <cstdlib>
#include <map>
#include <set>
#include <vector>

#include "assets/resources.h"
#include "tools/compose/chip1.h"

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

// RMS level in dBFS of the stereo frames [first, end).
double levelDb(const std::vector<int16_t>& frames, size_t first, size_t end)
{
    double sum = 0.0;
    for (size_t i = first * 2; i < end * 2; i++) sum += static_cast<double>(frames[i]) * frames[i];
    return 10.0 * std::log10(sum / ((end - first) * 2) / (32768.0 * 32768.0));
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

// The scenes react to the marker, so it must strike exactly where the listener hears a kick
// or a snare, with the counts the scenes were tuned for.
TEST_F(Chip1, MarkerStrikesFourHundredSeventyFourTimesOnTheKickAndSnareRows)
{
    const xmp_module* mod = info.mod;
    int strikes = 0, markedRows = 0, mostOnARow = 0, emptyInstrumentNotes = 0;
    for (int order = 0; order < mod->len; order++) {
        for (int row = 0; row < 64; row++) {
            int onRow = 0;
            bool drum = false;
            for (int channel = 0; channel < mod->chn; channel++) {
                const xmp_event& e = event(order, row, channel);
                if (e.ins == MARKER && e.note) onRow++;
                if (e.ins == EMPTY_INSTRUMENT) emptyInstrumentNotes++;
                if ((e.ins == KICK || e.ins == SNARE) && e.note) drum = true;
            }
            EXPECT_EQ(onRow > 0, drum) << "order " << order << " row " << row;
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

// Played as the demo plays it: no clipping, every pattern audible at a sane level, and the
// arc of the piece (quiet intro, full main part, softer breakdown, loudest return).
TEST_F(Chip1, RenderedPassHasHeadroomAndEveryPatternIsAudible)
{
    std::vector<size_t> starts;
    std::vector<int16_t> frames = renderOnePass(bytes->data(), bytes->size(), &starts);
    double seconds = frames.size() / 2.0 / RENDER_RATE;
    EXPECT_NEAR(seconds, 111.75, 0.1);

    int peak = 0;
    for (int16_t value : frames) peak = std::max(peak, std::abs(static_cast<int>(value)));
    EXPECT_LT(20.0 * std::log10(peak / 32768.0), -0.3);

    std::vector<double> rms;
    starts.push_back(frames.size() / 2);
    ASSERT_EQ(starts.size(), 12u);
    for (size_t order = 0; order < 11; order++) {
        rms.push_back(levelDb(frames, starts[order], starts[order + 1]));
        EXPECT_GT(rms.back(), -26.0) << "order " << order;
        EXPECT_LT(rms.back(), -14.0) << "order " << order;
    }
    // Nothing drops out: every second up to the closing chord's fade is clearly audible.
    double quietest = 0.0;
    for (size_t second = 0; second < 109; second++) {
        quietest = std::min(quietest, levelDb(frames, second * RENDER_RATE, (second + 1) * RENDER_RATE));
    }
    EXPECT_GT(quietest, -32.0);
    EXPECT_LT(rms[0], rms[3] - 3.0);  // intro below the main theme
    EXPECT_LT(rms[6], rms[3]);        // breakdown below the main theme
    EXPECT_GT(rms[8], rms[3]);        // the return tops it
}

TEST(Chip1Composer, CommittedModuleIsWhatTheComposerWrites)
{
    std::vector<uint8_t> composed = chip1Bytes();
    EXPECT_EQ(composed, chip1Bytes());
    EXPECT_TRUE(composed == embeddedModule()) << "resources/chip1.xm is stale: rebuild it with the chip1_module target";
}

}  // namespace
