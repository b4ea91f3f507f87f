// The XM writer, read back by the player library the demo itself uses.
#include <gtest/gtest.h>

#include <xmp.h>

#include "tools/xm/xm_writer.h"

namespace {

// A small module: 4 channels, 2 patterns (one of 32 rows), 3 orders, three instruments of
// which the second has no sample and the third a zero-length one.
XmModule smallModule()
{
    XmModule module;
    module.title = "writer check";
    module.tracker = "yarvik tools";
    module.channels = 4;
    module.speed = 5;
    module.bpm = 140;
    module.orders = {0, 1, 0};
    module.patterns.resize(2);
    module.patterns[1].rows = 32;
    XmCell& cell = module.patterns[0].at(3, 2, module.channels);
    cell.note = 49;
    cell.instrument = 1;
    cell.volume = 0x30;
    cell.effect = 0x0f;
    cell.param = 0x54;
    module.patterns[1].at(5, 0, module.channels).note = 97;
    module.patterns[1].at(6, 3, module.channels) = XmCell{25, 3, 0, 0, 0};

    XmInstrument tone;
    tone.name = "tone";
    XmSample sample;
    for (int i = 0; i < 1000; i++) sample.data.push_back(static_cast<int16_t>((i % 100) * 600 - 30000));
    sample.loopStart = 200;
    sample.loopLength = 800;
    sample.loopType = 1;
    sample.relativeNote = -12;
    tone.samples.push_back(sample);
    tone.volumeEnvelope = {{0, 64}, {10, 32}, {40, 0}};
    tone.fadeout = 512;
    module.instruments.push_back(tone);
    module.instruments.push_back(XmInstrument{"nothing", {}, {}, 0});
    XmInstrument marker;
    marker.name = "marker";
    marker.samples.push_back(XmSample{});
    module.instruments.push_back(marker);
    return module;
}

class XmWriter : public ::testing::Test {
protected:
    void SetUp() override
    {
        bytes = xmWrite(smallModule());
        context = xmp_create_context();
        ASSERT_EQ(xmp_load_module_from_memory(context, bytes.data(), static_cast<long>(bytes.size())), 0);
        xmp_get_module_info(context, &info);
    }
    void TearDown() override
    {
        xmp_release_module(context);
        xmp_free_context(context);
    }
    std::vector<uint8_t> bytes;
    xmp_context context = nullptr;
    xmp_module_info info{};
};

TEST_F(XmWriter, HeaderFieldsSurviveTheRoundTrip)
{
    const xmp_module* mod = info.mod;
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(bytes.data()), 17), "Extended Module: ");
    EXPECT_EQ(bytes[58] | bytes[59] << 8, 0x0104);
    EXPECT_STREQ(mod->name, "writer check");
    EXPECT_EQ(mod->chn, 4);
    EXPECT_EQ(bytes[70] | bytes[71] << 8, 2);
    EXPECT_EQ(mod->pat, 3);  // the library appends one blank pattern of its own
    EXPECT_EQ(mod->len, 3);
    EXPECT_EQ(mod->xxo[0], 0);
    EXPECT_EQ(mod->xxo[1], 1);
    EXPECT_EQ(mod->xxo[2], 0);
    EXPECT_EQ(mod->spd, 5);
    EXPECT_EQ(mod->bpm, 140);
    EXPECT_EQ(mod->xxp[0]->rows, 64);
    EXPECT_EQ(mod->xxp[1]->rows, 32);
}

TEST_F(XmWriter, PackedCellsKeepEveryField)
{
    const xmp_module* mod = info.mod;
    const xmp_event& full = mod->xxt[mod->xxp[0]->index[2]]->event[3];
    EXPECT_EQ(full.note, 49 + 12);  // the library counts notes from C-0, XM from C-1
    EXPECT_EQ(full.ins, 1);
    EXPECT_EQ(full.vol, 0x30 - 0x10 + 1);
    EXPECT_EQ(full.fxt, 0x0f);
    EXPECT_EQ(full.fxp, 0x54);
    EXPECT_EQ(mod->xxt[mod->xxp[1]->index[0]]->event[5].note, XMP_KEY_OFF);
    const xmp_event& partial = mod->xxt[mod->xxp[1]->index[3]]->event[6];
    EXPECT_EQ(partial.note, 25 + 12);
    EXPECT_EQ(partial.ins, 3);
    EXPECT_EQ(partial.fxt, 0);
    const xmp_event& empty = mod->xxt[mod->xxp[0]->index[1]]->event[3];
    EXPECT_EQ(empty.note, 0);
    EXPECT_EQ(empty.ins, 0);
}

TEST_F(XmWriter, InstrumentsAndSamplesKeepTheirShape)
{
    const xmp_module* mod = info.mod;
    ASSERT_EQ(mod->ins, 3);
    EXPECT_EQ(mod->xxi[0].nsm, 1);
    EXPECT_EQ(mod->xxi[1].nsm, 0);
    EXPECT_EQ(mod->xxi[2].nsm, 1);
    EXPECT_EQ(mod->xxi[0].aei.npt, 3);
    EXPECT_EQ(mod->xxi[0].rls, 512 * 2);  // the library keeps the fadeout doubled
    const xmp_sample& tone = mod->xxs[mod->xxi[0].sub[0].sid];
    EXPECT_EQ(tone.len, 1000);
    EXPECT_EQ(tone.lps, 200);
    EXPECT_EQ(tone.lpe, 1000);
    EXPECT_TRUE(tone.flg & XMP_SAMPLE_16BIT);
    EXPECT_TRUE(tone.flg & XMP_SAMPLE_LOOP);
    EXPECT_EQ(mod->xxi[0].sub[0].xpo, -12);
    const int16_t* data = reinterpret_cast<const int16_t*>(tone.data);
    EXPECT_EQ(data[0], -30000);
    EXPECT_EQ(data[99], 99 * 600 - 30000);
    EXPECT_EQ(data[100], -30000);
    EXPECT_EQ(mod->xxs[mod->xxi[2].sub[0].sid].len, 0);
}

}  // namespace
