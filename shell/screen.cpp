// The picture's place in an output of any size, and the output sizes accepted.
#include "shell/screen.h"

#include <cerrno>
#include <cstdlib>

// Integer arithmetic throughout, so an exact 4:3 output gives the whole output and no bar.
// The picture's other side is rounded to the nearest pixel and the bars split the rest, the
// odd pixel going to the right or the top.
PictureArea pictureAreaFor(int outputWidth, int outputHeight)
{
    PictureArea picture{outputWidth, outputHeight, 0, 0, outputWidth, outputHeight, 1.0f};
    const long wide = static_cast<long>(outputWidth) * SCREEN_HEIGHT;
    const long tall = static_cast<long>(outputHeight) * SCREEN_WIDTH;
    if (wide > tall) {
        picture.width = static_cast<int>((2 * tall + SCREEN_HEIGHT) / (2 * SCREEN_HEIGHT));
        picture.scale = static_cast<float>(outputHeight) / static_cast<float>(SCREEN_HEIGHT);
    } else {
        picture.height = static_cast<int>((2 * wide + SCREEN_WIDTH) / (2 * SCREEN_WIDTH));
        picture.scale = static_cast<float>(outputWidth) / static_cast<float>(SCREEN_WIDTH);
    }
    picture.x = (outputWidth - picture.width) / 2;
    picture.y = (outputHeight - picture.height) / 2;
    return picture;
}

bool pictureHasBars(const PictureArea& picture)
{
    return picture.width < picture.outputWidth || picture.height < picture.outputHeight;
}

static bool parseSide(const char* text, char** end, int min, int* value)
{
    if (*text < '0' || *text > '9') {
        return false;
    }
    errno = 0;
    long v = std::strtol(text, end, 10);
    if (errno != 0 || v < min || v > OUTPUT_MAX_SIDE) {
        return false;
    }
    *value = static_cast<int>(v);
    return true;
}

bool parseOutputSize(const char* text, int* width, int* height)
{
    char* end = nullptr;
    int w = 0;
    int h = 0;
    if (!parseSide(text, &end, OUTPUT_MIN_WIDTH, &w) || (*end != 'x' && *end != 'X')) {
        return false;
    }
    if (!parseSide(end + 1, &end, OUTPUT_MIN_HEIGHT, &h) || *end != '\0') {
        return false;
    }
    *width = w;
    *height = h;
    return true;
}
