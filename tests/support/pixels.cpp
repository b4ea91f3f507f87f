#include "tests/support/pixels.h"

#include <cstdio>
#include <cstdlib>
#include <vector>

static constexpr int WIDTH = 640;
static constexpr int HEIGHT = 480;

Rgb framePixel(const uint8_t* rgba, int x, int y)
{
    const uint8_t* p = rgba + (static_cast<size_t>(y) * WIDTH + x) * 4;
    return Rgb{p[0], p[1], p[2]};
}

int litPixelCount(const uint8_t* rgba, int threshold)
{
    int n = 0;
    for (int i = 0; i < WIDTH * HEIGHT; ++i) {
        const uint8_t* p = rgba + i * 4;
        int m = p[0] > p[1] ? p[0] : p[1];
        m = m > p[2] ? m : p[2];
        n += m > threshold;
    }
    return n;
}

Rgb frameMean(const uint8_t* rgba)
{
    long sum[3] = {0, 0, 0};
    for (int i = 0; i < WIDTH * HEIGHT; ++i) {
        for (int c = 0; c < 3; ++c) {
            sum[c] += rgba[i * 4 + c];
        }
    }
    const long n = WIDTH * HEIGHT;
    return Rgb{static_cast<int>(sum[0] / n), static_cast<int>(sum[1] / n), static_cast<int>(sum[2] / n)};
}

bool writeFramePng(const uint8_t* rgba, const std::string& path)
{
    std::string raw = path + ".rgba";
    FILE* f = std::fopen(raw.c_str(), "wb");
    if (f == nullptr) {
        return false;
    }
    for (int y = HEIGHT - 1; y >= 0; --y) {
        std::fwrite(rgba + static_cast<size_t>(y) * WIDTH * 4, 1, WIDTH * 4, f);
    }
    std::fclose(f);
    std::string cmd = "convert -size 640x480 -depth 8 rgba:" + raw + " -alpha off " + path + " 2>/dev/null";
    bool ok = std::system(cmd.c_str()) == 0;
    std::remove(raw.c_str());
    return ok;
}
