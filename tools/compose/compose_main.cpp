// compose: writes the soundtrack module, or checks a file against it, or renders one pass.
//   compose OUT.xm            write the module
//   compose --check FILE.xm   exit 0 when FILE.xm holds exactly the bytes compose writes
//   compose --wav OUT.wav [FILE.xm]   one pass as the demo plays it (FILE.xm, else the module)
//   compose --samples DIR     each instrument's sample as DIR/<n>-<name>.wav, to look at
//   compose --report [FILE.xm]   loudness, peaks, stereo, balance, marker hits, ending, each order
//   compose --stems [FILE.xm]    the same, then each channel heard alone
//   compose --measure FILE.wav   the meters over a pass rendered elsewhere (16-bit stereo, 44100 Hz)
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "tools/compose/chip1.h"
#include "tools/compose/report.h"

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

// Interleaved stereo 16-bit frames of a PCM WAV file at RENDER_RATE; false for anything else.
static bool readWav(const std::vector<uint8_t>& file, std::vector<int16_t>& frames)
{
    auto u16 = [&](size_t at) { return static_cast<uint32_t>(file[at] | file[at + 1] << 8); };
    auto u32 = [&](size_t at) { return u16(at) | u16(at + 2) << 16; };
    if (file.size() < 12 || std::memcmp(file.data(), "RIFF", 4) != 0 || std::memcmp(file.data() + 8, "WAVE", 4) != 0) {
        return false;
    }
    bool format = false;
    for (size_t at = 12; at + 8 <= file.size();) {
        uint32_t size = u32(at + 4);
        size_t body = at + 8;
        if (size > file.size() - body) return false;
        if (std::memcmp(file.data() + at, "fmt ", 4) == 0 && size >= 16) {
            format = u16(body) == 1 && u16(body + 2) == 2 && u32(body + 4) == RENDER_RATE && u16(body + 14) == 16;
        } else if (std::memcmp(file.data() + at, "data", 4) == 0 && format) {
            frames.resize(size / 4 * 2);
            std::memcpy(frames.data(), file.data() + body, frames.size() * 2);
            return true;
        }
        at = body + size + (size & 1);
    }
    return false;
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
    bool stems = argc >= 2 && std::strcmp(argv[1], "--stems") == 0;
    if ((argc == 2 || argc == 3) && (stems || std::strcmp(argv[1], "--report") == 0)) {
        std::vector<uint8_t> bytes;
        if (argc == 3 && !readFile(argv[2], bytes)) {
            std::fprintf(stderr, "compose: cannot read %s\n", argv[2]);
            return 1;
        }
        return reportModule(argc == 3 ? bytes : chip1Bytes(), stems);
    }
    if (argc == 3 && std::strcmp(argv[1], "--measure") == 0) {
        std::vector<uint8_t> file;
        std::vector<int16_t> frames;
        if (!readFile(argv[2], file) || !readWav(file, frames)) {
            std::fprintf(stderr, "compose: %s is not a 16-bit stereo WAV file at %d Hz\n", argv[2], RENDER_RATE);
            return 1;
        }
        printMeters(frames);
        return 0;
    }
    std::fprintf(stderr, "usage: compose OUT.xm | --check FILE.xm | --wav OUT.wav [FILE.xm] | --samples DIR | "
                         "--report [FILE.xm] | --stems [FILE.xm] | --measure FILE.wav\n");
    return 2;
}
