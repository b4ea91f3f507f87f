// compose: writes the soundtrack module, or checks a file against it, or renders one pass.
//   compose OUT.xm            write the module
//   compose --check FILE.xm   exit 0 when FILE.xm holds exactly the bytes compose writes
//   compose --wav OUT.wav [FILE.xm]   one pass as the demo plays it (FILE.xm, else the module)
//   compose --samples DIR     each instrument's sample as DIR/<n>-<name>.wav, to look at
//   compose --report [FILE.xm]   length, peak, level of each order and beat-marker counts
#include <xmp.h>

#include <cmath>
#include <cstdio>
#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "tools/compose/chip1.h"

static bool readFile(const char* path, std::vector<uint8_t>& bytes)
{
    FILE* file = std::fopen(path, "rb");
    if (!file) return false;
    uint8_t buffer[65536];
    size_t count;
    while ((count = std::fread(buffer, 1, sizeof buffer, file)) > 0) bytes.insert(bytes.end(), buffer, buffer + count);
    std::fclose(file);
    return true;
}

static bool writeFile(const char* path, const void* data, size_t size)
{
    FILE* file = std::fopen(path, "wb");
    if (!file) return false;
    bool ok = std::fwrite(data, 1, size, file) == size;
    return std::fclose(file) == 0 && ok;
}

static void put32(std::vector<uint8_t>& out, uint32_t v)
{
    for (int i = 0; i < 4; i++) out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

static bool writeWav(const char* path, const std::vector<int16_t>& frames, int channels = 2)
{
    std::vector<uint8_t> out;
    uint32_t dataBytes = static_cast<uint32_t>(frames.size() * 2);
    out.insert(out.end(), {'R', 'I', 'F', 'F'});
    put32(out, 36 + dataBytes);
    out.insert(out.end(), {'W', 'A', 'V', 'E', 'f', 'm', 't', ' '});
    put32(out, 16);
    put32(out, 1 | channels << 16);  // PCM
    put32(out, RENDER_RATE);
    put32(out, RENDER_RATE * 2 * channels);
    put32(out, 2 * channels | 16 << 16);  // block align, 16 bits
    out.insert(out.end(), {'d', 'a', 't', 'a'});
    put32(out, dataBytes);
    const uint8_t* pcm = reinterpret_cast<const uint8_t*>(frames.data());
    out.insert(out.end(), pcm, pcm + dataBytes);
    return writeFile(path, out.data(), out.size());
}

// Prints what a listener and the scenes get from one pass: its length, its peak, the level of
// each order position as the demo plays it, and how often the beat marker (instrument 9) strikes.
static int report(const std::vector<uint8_t>& bytes)
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
                if (e.ins == 9 && e.note) onRow++;
            }
            strikes += onRow;
            rows += onRow ? 1 : 0;
            most = onRow > most ? onRow : most;
        }
    }
    std::printf("size %zu bytes, song %d ms by the player's reckoning\n", bytes.size(), info.seq_data[0].duration);
    std::printf("beat marker: %d strikes on %d rows, at most %d on a row\n", strikes, rows, most);
    xmp_release_module(context);
    xmp_free_context(context);

    std::vector<size_t> starts;
    std::vector<int16_t> frames = renderOnePass(bytes.data(), bytes.size(), &starts);
    int peak = 0;
    for (int16_t v : frames) peak = std::max(peak, v < 0 ? -v : static_cast<int>(v));
    std::printf("rendered %.3f s, peak %.2f dBFS\n", frames.size() / 2.0 / RENDER_RATE, 20.0 * std::log10(peak / 32768.0));
    starts.push_back(frames.size() / 2);
    for (size_t i = 0; i + 1 < starts.size(); i++) {
        double sum = 0.0;
        for (size_t f = starts[i] * 2; f < starts[i + 1] * 2; f++) sum += static_cast<double>(frames[f]) * frames[f];
        double rms = 10.0 * std::log10(sum / ((starts[i + 1] - starts[i]) * 2) / (32768.0 * 32768.0));
        std::printf("order %2zu  %6.2f-%6.2f s  RMS %6.1f dBFS\n", i, starts[i] / double(RENDER_RATE),
                    starts[i + 1] / double(RENDER_RATE), rms);
    }
    return 0;
}

int main(int argc, char** argv)
{
    if (argc == 2 && argv[1][0] != '-') {
        std::vector<uint8_t> bytes = chip1Bytes();
        if (!writeFile(argv[1], bytes.data(), bytes.size())) {
            std::fprintf(stderr, "compose: cannot write %s\n", argv[1]);
            return 1;
        }
        return 0;
    }
    if (argc == 3 && std::strcmp(argv[1], "--check") == 0) {
        std::vector<uint8_t> file;
        if (!readFile(argv[2], file)) {
            std::fprintf(stderr, "compose: cannot read %s\n", argv[2]);
            return 1;
        }
        if (file != chip1Bytes()) {
            std::fprintf(stderr, "compose: %s differs from what compose writes\n", argv[2]);
            return 1;
        }
        return 0;
    }
    if ((argc == 3 || argc == 4) && std::strcmp(argv[1], "--wav") == 0) {
        std::vector<uint8_t> bytes;
        if (argc == 4) {
            if (!readFile(argv[3], bytes)) {
                std::fprintf(stderr, "compose: cannot read %s\n", argv[3]);
                return 1;
            }
        } else {
            bytes = chip1Bytes();
        }
        std::vector<int16_t> frames = renderOnePass(bytes.data(), bytes.size());
        if (frames.empty() || !writeWav(argv[2], frames)) {
            std::fprintf(stderr, "compose: cannot render to %s\n", argv[2]);
            return 1;
        }
        return 0;
    }
    if (argc == 3 && std::strcmp(argv[1], "--samples") == 0) {
        XmModule module = composeChip1();
        for (size_t i = 0; i < module.instruments.size(); i++) {
            const XmInstrument& instrument = module.instruments[i];
            if (instrument.samples.empty() || instrument.samples[0].data.empty()) continue;
            std::string path = std::string(argv[2]) + "/" + std::to_string(i + 1) + "-" + instrument.name + ".wav";
            if (!writeWav(path.c_str(), instrument.samples[0].data, 1)) {
                std::fprintf(stderr, "compose: cannot write %s\n", path.c_str());
                return 1;
            }
        }
        return 0;
    }
    if ((argc == 2 || argc == 3) && std::strcmp(argv[1], "--report") == 0) {
        std::vector<uint8_t> bytes;
        if (argc == 3 && !readFile(argv[2], bytes)) {
            std::fprintf(stderr, "compose: cannot read %s\n", argv[2]);
            return 1;
        }
        return report(argc == 3 ? bytes : chip1Bytes());
    }
    std::fprintf(stderr, "usage: compose OUT.xm | --check FILE.xm | --wav OUT.wav [FILE.xm] | --samples DIR | "
                         "--report [FILE.xm]\n");
    return 2;
}
