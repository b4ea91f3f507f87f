// The GL 1.1 and GLU entry points the demo draws with. Which library provides them is decided
// at link time: libGL for the real program and the offscreen window (on EGL), or the tests' call
// recorder.
#pragma once

#include <GL/gl.h>
#include <GL/glu.h>
