// Screen-space helpers drawn over a finished 3D frame: the overlay projection of the picture's
// 640x480 units, the one-second black fades over the picture, and bitmap text with the font's
// display lists.
#pragma once

#include <cstdint>

void pushOverlayProjection(int width, int height);
void popOverlayProjection();

// Fade-in from black over 1000 ms after startTick; drawn on every call.
void fadeIn(uint32_t startTick);
// Fade-out to black over 1000 ms after startTick; returns 1 without drawing once more than
// 1000 ms have passed, otherwise draws and returns 0.
int fadeOut(uint32_t startTick);
void drawFadeOverlay(float alpha);

// printf-style text at raster position (x, y) in overlay pixels, in the current colour.
// The formatted text is cut at 255 characters. The position is taken as double only because
// the arguments follow it (a float before them would be promoted, which va_start does not
// allow); every float is exact as a double, and it reaches GL as the float it was.
void drawBitmapText(const char* format, double x, double y, ...) __attribute__((format(printf, 1, 4)));
