// A minimal PNG writer (8-bit RGB, zlib at a fast level) for the capture's frame folder. A
// frame takes no memory of its own, whatever its size: its rows are compressed one at a time
// through one zlib stream made at start-up into a fixed buffer and written as they come, as
// one IDAT chunk whose length is filled in once known. The bytes are those of compressing the
// whole picture at once.
#include <fcntl.h>
#include <unistd.h>
#include <zlib.h>

#include <cerrno>
#include <cstdio>

#include "tools/capture/capture.h"

static constexpr int MAX_WIDTH = 8192;

struct PngWriterState {
    z_stream zip;
    bool started;
};
static PngWriterState pngWriter = {};
static uint8_t pngRow[1 + MAX_WIDTH * 3];  // one row behind its filter byte, alpha dropped
static uint8_t pngPacked[1 << 16];         // compressed bytes on their way to the file

bool pngWriterStart()
{
    pngWriter = PngWriterState{};
    pngWriter.started = deflateInit(&pngWriter.zip, 1) == Z_OK;
    return pngWriter.started;
}

void pngWriterEnd()
{
    if (pngWriter.started) {
        deflateEnd(&pngWriter.zip);
    }
    pngWriter = PngWriterState{};
}

static void put32(uint8_t* at, uint32_t x)
{
    at[0] = static_cast<uint8_t>(x >> 24);
    at[1] = static_cast<uint8_t>(x >> 16);
    at[2] = static_cast<uint8_t>(x >> 8);
    at[3] = static_cast<uint8_t>(x);
}

// A whole chunk of `size` bytes of `data` (at most 13 here): length, type, data, CRC.
static void putChunk(FILE* f, const char* type, const uint8_t* data, uint32_t size)
{
    uint8_t chunk[4 + 4 + 13 + 4];
    put32(chunk, size);
    for (uint32_t i = 0; i < 4; ++i) {
        chunk[4 + i] = static_cast<uint8_t>(type[i]);
    }
    for (uint32_t i = 0; i < size; ++i) {
        chunk[8 + i] = data[i];
    }
    put32(chunk + 8 + size, static_cast<uint32_t>(crc32(0L, chunk + 4, 4 + size)));
    std::fwrite(chunk, 1, 12 + size, f);
}

// The IDAT chunk: rows top first, each behind filter byte 0. False when zlib fails.
static bool putPicture(FILE* f, const uint8_t* rgbaBottomUp, int width, int height)
{
    const long lengthAt = std::ftell(f);
    uint8_t head[8] = {0, 0, 0, 0, 'I', 'D', 'A', 'T'};
    std::fwrite(head, 1, sizeof head, f);
    uLong crc = crc32(0L, head + 4, 4);
    uint32_t packedSize = 0;
    z_stream& zip = pngWriter.zip;
    if (deflateReset(&zip) != Z_OK) {
        return false;
    }
    for (int y = 0; y < height; ++y) {
        const uint8_t* src = rgbaBottomUp + static_cast<size_t>(height - 1 - y) * width * 4;
        pngRow[0] = 0;
        for (int x = 0; x < width; ++x) {
            pngRow[1 + x * 3] = src[x * 4];
            pngRow[2 + x * 3] = src[x * 4 + 1];
            pngRow[3 + x * 3] = src[x * 4 + 2];
        }
        zip.next_in = pngRow;
        zip.avail_in = static_cast<uInt>(1 + width * 3);
        const int flush = y == height - 1 ? Z_FINISH : Z_NO_FLUSH;
        do {
            zip.next_out = pngPacked;
            zip.avail_out = sizeof pngPacked;
            if (deflate(&zip, flush) == Z_STREAM_ERROR) {
                return false;
            }
            const uInt packed = static_cast<uInt>(sizeof pngPacked - zip.avail_out);
            std::fwrite(pngPacked, 1, packed, f);
            crc = crc32(crc, pngPacked, packed);
            packedSize += packed;
        } while (zip.avail_out == 0);
    }
    uint8_t tail[4];
    put32(tail, static_cast<uint32_t>(crc));
    std::fwrite(tail, 1, sizeof tail, f);
    put32(head, packedSize);
    return std::fseek(f, lengthAt, SEEK_SET) == 0 && std::fwrite(head, 1, 4, f) == 4 &&
           std::fseek(f, 0, SEEK_END) == 0;
}

bool writePng(const char* path, const uint8_t* rgbaBottomUp, int width, int height)
{
    if (!pngWriter.started || width > MAX_WIDTH) {
        errno = EINVAL;
        return false;
    }
    const int fd = open(path, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
    FILE* f = fd >= 0 ? fdopen(fd, "wb") : nullptr;
    if (f == nullptr) {
        if (fd >= 0) {
            close(fd);
        }
        return false;
    }
    static const uint8_t SIGNATURE[] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    std::fwrite(SIGNATURE, 1, sizeof SIGNATURE, f);
    uint8_t header[13];
    put32(header, static_cast<uint32_t>(width));
    put32(header + 4, static_cast<uint32_t>(height));
    const uint8_t format[] = {8, 2, 0, 0, 0};  // 8 bits, RGB, deflate, no filter, no interlace
    for (int i = 0; i < 5; ++i) {
        header[8 + i] = format[i];
    }
    putChunk(f, "IHDR", header, sizeof header);
    bool ok = putPicture(f, rgbaBottomUp, width, height);
    putChunk(f, "IEND", nullptr, 0);
    ok = std::ferror(f) == 0 && ok;
    return std::fclose(f) == 0 && ok;
}
