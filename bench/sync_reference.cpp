// sync_reference DIR: the embedded module as the demo plays it, for bench/live_sync.py to find
// in a recording. Writes DIR/song.wav (the player's audio, 44100 Hz stereo) and DIR/beats.txt
// (for each beat, the frame at which its row starts, one per line), pulled a frame at a time
// through the test output with no lag, so that every beat is taken on its own first frame.
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "assets/resources.h"
#include "music/player.h"
#include "tests/fakes/null_output.h"

static void putLittleEndian(std::FILE* f, uint32_t value, int bytes)
{
    for (int i = 0; i < bytes; ++i) {
        std::fputc(static_cast<int>((value >> (8 * i)) & 0xff), f);
    }
}

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: sync_reference DIR\n");
        return 2;
    }
    const std::string dir = argv[1];
    ResourceBlob* blob = findResourceBlob("CHIP1", "MODMUSIC");
    if (blob == nullptr) {
        std::fprintf(stderr, "sync_reference: no module embedded\n");
        return 1;
    }
    nullOutputReset();
    startSound();
    if (playModule(blob->data, blob->size) != 1) {
        std::fprintf(stderr, "sync_reference: the module does not play\n");
        return 1;
    }
    std::free(blob);

    std::vector<int16_t> audio;
    std::vector<long> beats;
    int16_t frame[OUTPUT_CHANNELS];
    for (long n = 0; isModulePlaying(); ++n) {
        nullOutputPull(frame, 1);
        audio.insert(audio.end(), frame, frame + OUTPUT_CHANNELS);
        if (takeBeat()) {
            beats.push_back(n);
        }
    }
    shutdownSound();

    std::FILE* wav = std::fopen((dir + "/song.wav").c_str(), "wb");
    std::FILE* list = std::fopen((dir + "/beats.txt").c_str(), "w");
    if (wav == nullptr || list == nullptr) {
        std::fprintf(stderr, "sync_reference: cannot write into %s\n", dir.c_str());
        return 1;
    }
    const uint32_t bytes = static_cast<uint32_t>(audio.size() * sizeof(int16_t));
    std::fputs("RIFF", wav);
    putLittleEndian(wav, 36 + bytes, 4);
    std::fputs("WAVEfmt ", wav);
    putLittleEndian(wav, 16, 4);
    putLittleEndian(wav, 1, 2);
    putLittleEndian(wav, OUTPUT_CHANNELS, 2);
    putLittleEndian(wav, MIXING_RATE, 4);
    putLittleEndian(wav, MIXING_RATE * OUTPUT_CHANNELS * 2, 4);
    putLittleEndian(wav, OUTPUT_CHANNELS * 2, 2);
    putLittleEndian(wav, 16, 2);
    std::fputs("data", wav);
    putLittleEndian(wav, bytes, 4);
    for (int16_t sample : audio) {
        putLittleEndian(wav, static_cast<uint16_t>(sample), 2);
    }
    for (long b : beats) {
        std::fprintf(list, "%ld\n", b);
    }
    bool written = std::fclose(wav) == 0;
    written = std::fclose(list) == 0 && written;
    std::fprintf(stderr, "sync_reference: %zu frames, %zu beats\n", audio.size() / OUTPUT_CHANNELS, beats.size());
    return written ? 0 : 1;
}
