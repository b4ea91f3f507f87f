// Reading back frames of the offscreen window in tests: single pixels, regions, PNG dumps. A
// frame is the window's whole drawable, windowCore.picture.outputWidth x outputHeight.
#pragma once

#include <cstdint>
#include <string>

struct Rgb {
    int r;
    int g;
    int b;
};

// The pixel at (x, y) of an RGBA frame, y counted upwards from the bottom row.
Rgb framePixel(const uint8_t* rgba, int x, int y);
// Pixels in the frame whose brightest channel exceeds `threshold`.
int litPixelCount(const uint8_t* rgba, int threshold);
// Mean of each channel over the frame.
Rgb frameMean(const uint8_t* rgba);
// Writes the frame as a PNG (top row first, through ImageMagick's convert) for a person to
// look at; returns false when it could not. Path relative to the working directory.
bool writeFramePng(const uint8_t* rgba, const std::string& path);

// Makes the offscreen window again at width x height, with that many samples per pixel (0:
// none). Whatever lived in the old context (textures, font lists) has to be made again.
void reopenWindow(int width, int height, int samples = 0);
