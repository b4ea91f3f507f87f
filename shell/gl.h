// The GL 1.1 and GLU entry points the demo draws with. Which code provides them is decided at
// link time: platform/gl's dispatch for the real program and the offscreen window (calling the
// context's desktop GL or the GL 1.1 layer on ES 2), or the tests' call recorder.
#pragma once

#include <GL/gl.h>
#include <GL/glu.h>
