// Reading back frames of the offscreen window in tests: single pixels, regions, PNG dumps. A
// frame is the window's whole drawable, windowPicture.outputWidth x outputHeight.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

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

// A copy of the frame as it stands.
std::vector<uint8_t> frameCopy(const uint8_t* rgba);

// The picture area of a frame averaged down, factor x factor pixels into one, to the
// 640x480 grid, and compared with a 640x480 frame: the mean absolute difference per channel,
// in levels of 255. The picture area must be exactly factor times 640x480.
double meanDifferenceScaledDown(const uint8_t* rgba, int factor, const std::vector<uint8_t>& screenFrame);
