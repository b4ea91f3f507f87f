#include "tests/support/pixels.h"

#include <cstdio>
#include <cstdlib>
#include <vector>

#include "shell/window.h"

static int frameWidth() { return windowCore.picture.outputWidth; }
static int frameHeight() { return windowCore.picture.outputHeight; }

Rgb framePixel(const uint8_t* rgba, int x, int y)
{
    const uint8_t* p = rgba + (static_cast<size_t>(y) * frameWidth() + x) * 4;
    return Rgb{p[0], p[1], p[2]};
}

int litPixelCount(const uint8_t* rgba, int threshold)
{
    int n = 0;
    for (int i = 0; i < frameWidth() * frameHeight(); ++i) {
        const uint8_t* p = rgba + static_cast<size_t>(i) * 4;
        int m = p[0] > p[1] ? p[0] : p[1];
        m = m > p[2] ? m : p[2];
        n += m > threshold;
    }
    return n;
}

Rgb frameMean(const uint8_t* rgba)
{
    long sum[3] = {0, 0, 0};
    const long n = static_cast<long>(frameWidth()) * frameHeight();
    for (long i = 0; i < n; ++i) {
        for (int c = 0; c < 3; ++c) {
            sum[c] += rgba[i * 4 + c];
        }
    }
    return Rgb{static_cast<int>(sum[0] / n), static_cast<int>(sum[1] / n), static_cast<int>(sum[2] / n)};
}

bool writeFramePng(const uint8_t* rgba, const std::string& path)
{
    const int width = frameWidth();
    const int height = frameHeight();
    std::string raw = path + ".rgba";
    FILE* f = std::fopen(raw.c_str(), "wb");
    if (f == nullptr) {
        return false;
    }
    for (int y = height - 1; y >= 0; --y) {
        std::fwrite(rgba + static_cast<size_t>(y) * width * 4, 1, static_cast<size_t>(width) * 4, f);
    }
    std::fclose(f);
    std::string cmd = "convert -size " + std::to_string(width) + "x" + std::to_string(height) + " -depth 8 rgba:" +
                      raw + " -alpha off " + path + " 2>/dev/null";
    bool ok = std::system(cmd.c_str()) == 0;
    std::remove(raw.c_str());
    return ok;
}

void reopenWindow(int width, int height, int samples)
{
    destroyDemoWindow();
    windowCore.request = WindowRequest{WINDOW_DISPLAY_MODE, width, height, samples};
    createDemoWindow();
}
