// The offscreen window: a 640x480 GL context on Mesa's OSMesa, rendering into memory with
// no display at all. The pixel tests and the capture tool link it in place of the real window.
#pragma once

#include <cstdint>

constexpr int OFFSCREEN_WIDTH = 640;
constexpr int OFFSCREEN_HEIGHT = 480;

// The frame as drawn so far: 640x480 RGBA, bottom row first. Finishes pending GL work.
const uint8_t* offscreenFrame();

// Called by every pumpMessages with the frame that a swap would present; null for none.
extern void (*offscreenPresent)(const uint8_t* rgba);
