// compose: writes the soundtrack module, or checks a file against it, or renders one pass.
//   compose OUT.xm            write the module
//   compose --check FILE.xm   exit 0 when FILE.xm holds exactly the bytes compose writes
//   compose --wav OUT.wav [FILE.xm]   one pass as the demo plays it (FILE.xm, else the module)
//   compose --samples DIR     each instrument's sample as DIR/<n>-<name>.wav, to look at
#include <cstdio>
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
    std::fprintf(stderr, "usage: compose OUT.xm | --check FILE.xm | --wav OUT.wav [FILE.xm] | --samples DIR\n");
    return 2;
}
