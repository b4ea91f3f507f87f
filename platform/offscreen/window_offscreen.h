// The offscreen window: a GL context on EGL with no display at all (Mesa's surfaceless
// platform: its software renderer, or a GPU's render node where there is one), drawing into a
// framebuffer of windowCore.request's size and samples in memory. The pixel tests and the
// capture tool link it in place of the real window.
#pragma once

#include <cstdint>

// The frame as drawn so far: windowCore.picture.outputWidth x outputHeight RGBA, bottom row
// first. Finishes pending GL work. Null when the renderer has run out of memory.
const uint8_t* offscreenFrame();

// Called by every windowPresent with the frame that a swap would present (null when the renderer
// has run out of memory); the pointer itself null for none.
extern void (*offscreenPresent)(const uint8_t* rgba);
