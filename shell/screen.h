// The demo's picture: laid out on a grid of 640x480 units with a 4:3 aspect, whatever size it
// is shown at. The display mode, the overlay's units and the scenes' screen-space layers are
// all this grid; an output of another size shows it scaled into its largest centred 4:3 area.
#pragma once

constexpr int SCREEN_WIDTH = 640;
constexpr int SCREEN_HEIGHT = 480;

// Where the picture lands in an output: the largest centred 4:3 area, drawn at `scale` output
// pixels per unit (s = min(W / 640, H / 480)); the rest of the output, the bars, stays black.
struct PictureArea {
    int outputWidth;   // the whole drawable, pixels
    int outputHeight;
    int x;             // the picture's lower-left corner, pixels from the left and bottom edges
    int y;
    int width;         // the picture's size, pixels
    int height;
    float scale;
};
constexpr PictureArea SCREEN_PICTURE = {SCREEN_WIDTH, SCREEN_HEIGHT, 0, 0, SCREEN_WIDTH, SCREEN_HEIGHT, 1.0f};

PictureArea pictureAreaFor(int outputWidth, int outputHeight);
// True when the picture leaves bars in its output.
bool pictureHasBars(const PictureArea& picture);

// The output sizes a window or a capture may ask for, per side in pixels.
constexpr int OUTPUT_MIN_WIDTH = 160;
constexpr int OUTPUT_MIN_HEIGHT = 120;
constexpr int OUTPUT_MAX_SIDE = 8192;

// Reads "WxH" (e.g. "1920x1080") within the sizes above; false for anything else.
bool parseOutputSize(const char* text, int* width, int* height);
