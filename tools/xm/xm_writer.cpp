#include "tools/xm/xm_writer.h"

#include <algorithm>

static constexpr int INSTRUMENT_HEADER_SIZE = 263;  // with samples: the size FastTracker 2 writes
static constexpr int EMPTY_INSTRUMENT_HEADER_SIZE = 29;
static constexpr int SAMPLE_HEADER_SIZE = 40;
static constexpr int ENVELOPE_POINTS = 12;

static void put8(std::vector<uint8_t>& out, int value)
{
    out.push_back(static_cast<uint8_t>(value));
}

static void put16(std::vector<uint8_t>& out, int value)
{
    put8(out, value & 0xff);
    put8(out, (value >> 8) & 0xff);
}

static void put32(std::vector<uint8_t>& out, uint32_t value)
{
    put16(out, static_cast<int>(value & 0xffff));
    put16(out, static_cast<int>(value >> 16));
}

// A fixed-width text field, cut to the width or padded with zero bytes.
static void putText(std::vector<uint8_t>& out, const std::string& text, size_t width)
{
    for (size_t i = 0; i < width; i++) out.push_back(i < text.size() ? static_cast<uint8_t>(text[i]) : 0);
}

// One pattern in XM's packed form: a cell with every field present is stored as five bytes,
// any other cell as a mask byte (high bit set) followed by the fields it names.
static std::vector<uint8_t> packPattern(const XmPattern& pattern, int channels)
{
    std::vector<uint8_t> packed;
    XmCell empty;
    for (int row = 0; row < pattern.rows; row++) {
        for (int channel = 0; channel < channels; channel++) {
            size_t index = static_cast<size_t>(row) * channels + channel;
            const XmCell& cell = index < pattern.cells.size() ? pattern.cells[index] : empty;
            uint8_t mask = 0;
            if (cell.note) mask |= 1;
            if (cell.instrument) mask |= 2;
            if (cell.volume) mask |= 4;
            if (cell.effect) mask |= 8;
            if (cell.param) mask |= 16;
            if (mask == 31) {
                packed.insert(packed.end(), {cell.note, cell.instrument, cell.volume, cell.effect, cell.param});
                continue;
            }
            packed.push_back(0x80 | mask);
            if (mask & 1) packed.push_back(cell.note);
            if (mask & 2) packed.push_back(cell.instrument);
            if (mask & 4) packed.push_back(cell.volume);
            if (mask & 8) packed.push_back(cell.effect);
            if (mask & 16) packed.push_back(cell.param);
        }
    }
    return packed;
}

static void putInstrument(std::vector<uint8_t>& out, const XmInstrument& instrument)
{
    int sampleCount = static_cast<int>(instrument.samples.size());
    if (sampleCount == 0) {
        put32(out, EMPTY_INSTRUMENT_HEADER_SIZE);
        putText(out, instrument.name, 22);
        put8(out, 0);
        put16(out, 0);
        return;
    }
    put32(out, INSTRUMENT_HEADER_SIZE);
    putText(out, instrument.name, 22);
    put8(out, 0);
    put16(out, sampleCount);
    put32(out, SAMPLE_HEADER_SIZE);
    for (int note = 0; note < 96; note++) put8(out, 0);

    int points = std::min(static_cast<int>(instrument.volumeEnvelope.size()), ENVELOPE_POINTS);
    for (int i = 0; i < ENVELOPE_POINTS; i++) {
        put16(out, i < points ? instrument.volumeEnvelope[i].first : 0);
        put16(out, i < points ? instrument.volumeEnvelope[i].second : 0);
    }
    for (int i = 0; i < ENVELOPE_POINTS; i++) put32(out, 0);  // panning envelope
    put8(out, points);
    put8(out, 0);                   // panning envelope points
    put8(out, 0);                   // volume sustain point
    put8(out, 0);                   // volume loop start
    put8(out, 0);                   // volume loop end
    put8(out, 0);                   // panning sustain point
    put8(out, 0);                   // panning loop start
    put8(out, 0);                   // panning loop end
    put8(out, points > 0 ? 1 : 0);  // volume envelope on
    put8(out, 0);                   // panning envelope off
    put8(out, 0);                   // vibrato type
    put8(out, 0);                   // vibrato sweep
    put8(out, 0);                   // vibrato depth
    put8(out, 0);                   // vibrato rate
    put16(out, instrument.fadeout);
    for (int i = 0; i < 22; i++) put8(out, 0);  // reserved

    for (const XmSample& sample : instrument.samples) {
        int frames = static_cast<int>(sample.data.size());
        int loopType = sample.loopLength > 0 ? sample.loopType : 0;
        put32(out, static_cast<uint32_t>(frames) * 2);
        put32(out, static_cast<uint32_t>(loopType ? sample.loopStart : 0) * 2);
        put32(out, static_cast<uint32_t>(loopType ? sample.loopLength : 0) * 2);
        put8(out, sample.volume);
        put8(out, sample.finetune);
        put8(out, (loopType & 3) | 0x10);  // 16-bit samples
        put8(out, sample.panning);
        put8(out, sample.relativeNote);
        put8(out, 0);
        putText(out, sample.name, 22);
    }
    for (const XmSample& sample : instrument.samples) {
        int16_t previous = 0;
        for (int16_t value : sample.data) {
            put16(out, static_cast<uint16_t>(value - previous));
            previous = value;
        }
    }
}

XmCell& XmPattern::at(int row, int channel, int channels)
{
    size_t needed = static_cast<size_t>(rows) * channels;
    if (cells.size() < needed) cells.resize(needed);
    return cells[static_cast<size_t>(row) * channels + channel];
}

std::vector<uint8_t> xmWrite(const XmModule& module)
{
    std::vector<uint8_t> out;
    putText(out, "Extended Module: ", 17);
    putText(out, module.title, 20);
    put8(out, 0x1a);
    putText(out, module.tracker, 20);
    put16(out, 0x0104);
    put32(out, 20 + 256);
    int orderCount = std::min(static_cast<int>(module.orders.size()), 256);  // the order table's size
    put16(out, orderCount);
    put16(out, module.restart);
    put16(out, module.channels);
    put16(out, static_cast<int>(module.patterns.size()));
    put16(out, static_cast<int>(module.instruments.size()));
    put16(out, module.linearFrequencies ? 1 : 0);
    put16(out, module.speed);
    put16(out, module.bpm);
    for (int i = 0; i < 256; i++) put8(out, i < orderCount ? module.orders[i] : 0);

    for (const XmPattern& pattern : module.patterns) {
        std::vector<uint8_t> packed = packPattern(pattern, module.channels);
        put32(out, 9);
        put8(out, 0);
        put16(out, pattern.rows);
        put16(out, static_cast<int>(packed.size()));
        out.insert(out.end(), packed.begin(), packed.end());
    }
    for (const XmInstrument& instrument : module.instruments) putInstrument(out, instrument);
    return out;
}
