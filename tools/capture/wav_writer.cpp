// 16-bit PCM WAV, written as it goes; the sizes in the header are filled in at the end.
#include <unistd.h>

#include <cstdio>

#include "tools/capture/capture.h"

static void put16(FILE* f, uint16_t v)
{
    std::fputc(v & 0xFF, f);
    std::fputc(v >> 8, f);
}

static void put32(FILE* f, uint32_t v)
{
    put16(f, static_cast<uint16_t>(v & 0xFFFF));
    put16(f, static_cast<uint16_t>(v >> 16));
}

// Writes the 44-byte header; false when the stream has failed by then.
static bool writeHeader(FILE* f, int rate, int channels, uint32_t dataBytes)
{
    std::fwrite("RIFF", 1, 4, f);
    put32(f, 36 + dataBytes);
    std::fwrite("WAVEfmt ", 1, 8, f);
    put32(f, 16);
    put16(f, 1);  // PCM
    put16(f, static_cast<uint16_t>(channels));
    put32(f, static_cast<uint32_t>(rate));
    put32(f, static_cast<uint32_t>(rate * channels * 2));
    put16(f, static_cast<uint16_t>(channels * 2));
    put16(f, 16);
    std::fwrite("data", 1, 4, f);
    put32(f, dataBytes);
    return std::ferror(f) == 0;
}

bool wavOpen(WavFile* wav, int fd, int rate, int channels)
{
    FILE* f = fd >= 0 ? fdopen(fd, "wb") : nullptr;
    if (f == nullptr) {
        if (fd >= 0) {
            close(fd);
        }
        return false;
    }
    wav->file = f;
    wav->rate = rate;
    wav->channels = channels;
    wav->frames = 0;
    return writeHeader(f, rate, channels, 0);
}

bool wavWrite(WavFile* wav, const int16_t* samples, int frames)
{
    FILE* f = static_cast<FILE*>(wav->file);
    // Little-endian machine: the samples go out as they are.
    size_t written = std::fwrite(samples, sizeof(int16_t) * wav->channels, static_cast<size_t>(frames), f);
    wav->frames += static_cast<int64_t>(written);
    return written == static_cast<size_t>(frames);
}

// Completes the header with the sizes of what was written. A file that did not reach the disk
// in full (a full disk shows only when the buffer is flushed) fails here.
bool wavClose(WavFile* wav)
{
    FILE* f = static_cast<FILE*>(wav->file);
    if (f == nullptr) {
        return true;
    }
    bool ok = std::fflush(f) == 0 && std::fseek(f, 0, SEEK_SET) == 0 &&
              writeHeader(f, wav->rate, wav->channels, static_cast<uint32_t>(wav->frames * wav->channels * 2));
    ok = std::fclose(f) == 0 && ok;
    wav->file = nullptr;
    return ok;
}
