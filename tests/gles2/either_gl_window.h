// A window for the GL 1.1 layer's pixel tests: an EGL pbuffer on Mesa's surfaceless platform,
// like the offscreen window's, with either a desktop GL context (the compatibility profile,
// drawn through the driver's own functions) or an OpenGL ES 2 context drawn through the layer.
// Both go through the same dispatch, so one test draws the same code both ways.
#pragma once

#include <cstdint>

enum TestGl { TEST_GL_DESKTOP, TEST_GL_ES2 };

// Which GL the next createDemoWindow makes.
extern TestGl testGl;

// The frame drawn so far, windowPicture.outputWidth x outputHeight RGBA, bottom row first.
const uint8_t* testGlFrame();
