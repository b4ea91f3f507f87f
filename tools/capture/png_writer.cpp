// A minimal PNG writer (8-bit RGB, zlib at a fast level) for the capture's frame directory.
#include <zlib.h>

#include <cstdio>
#include <vector>

#include "tools/capture/capture.h"

static void put32(std::vector<uint8_t>& v, uint32_t x)
{
    v.push_back(static_cast<uint8_t>(x >> 24));
    v.push_back(static_cast<uint8_t>(x >> 16));
    v.push_back(static_cast<uint8_t>(x >> 8));
    v.push_back(static_cast<uint8_t>(x));
}

static void putChunk(std::vector<uint8_t>& out, const char* type, const std::vector<uint8_t>& data)
{
    put32(out, static_cast<uint32_t>(data.size()));
    size_t start = out.size();
    out.insert(out.end(), type, type + 4);
    out.insert(out.end(), data.begin(), data.end());
    uLong crc = crc32(0L, out.data() + start, static_cast<uInt>(out.size() - start));
    put32(out, static_cast<uint32_t>(crc));
}

bool writePng(const std::string& path, const uint8_t* rgbaBottomUp, int width, int height)
{
    // Rows top first, each behind filter byte 0; alpha dropped.
    std::vector<uint8_t> raw(static_cast<size_t>(height) * (1 + width * 3));
    for (int y = 0; y < height; ++y) {
        uint8_t* row = raw.data() + static_cast<size_t>(y) * (1 + width * 3);
        row[0] = 0;
        const uint8_t* src = rgbaBottomUp + static_cast<size_t>(height - 1 - y) * width * 4;
        for (int x = 0; x < width; ++x) {
            row[1 + x * 3] = src[x * 4];
            row[2 + x * 3] = src[x * 4 + 1];
            row[3 + x * 3] = src[x * 4 + 2];
        }
    }
    uLongf packedSize = compressBound(static_cast<uLong>(raw.size()));
    std::vector<uint8_t> packed(packedSize);
    if (compress2(packed.data(), &packedSize, raw.data(), static_cast<uLong>(raw.size()), 1) != Z_OK) {
        return false;
    }
    packed.resize(packedSize);

    std::vector<uint8_t> png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    std::vector<uint8_t> header;
    put32(header, static_cast<uint32_t>(width));
    put32(header, static_cast<uint32_t>(height));
    header.insert(header.end(), {8, 2, 0, 0, 0});  // 8 bits, RGB, deflate, no filter, no interlace
    putChunk(png, "IHDR", header);
    putChunk(png, "IDAT", packed);
    putChunk(png, "IEND", {});

    FILE* f = std::fopen(path.c_str(), "wb");
    if (f == nullptr) {
        return false;
    }
    bool ok = std::fwrite(png.data(), 1, png.size(), f) == png.size();
    return std::fclose(f) == 0 && ok;
}
