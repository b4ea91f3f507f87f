// X errors raised while the window and its GL context are made (a GL driver the X server
// refuses, say), caught and kept as one line instead of ending the process: without a handler
// of its own Xlib prints a protocol dump and exits.
#pragma once

#include <SDL.h>

// Starts catching X errors, where Xlib is to be had; the first one caught is kept.
void xErrorsCatch();
// Waits until the X server has answered every request made so far, so that their errors are
// in. Nothing for a window that is not on X.
void xErrorsSync(SDL_Window* window);
// Stops catching and puts back the handler there was. The first error caught since
// xErrorsCatch, as one line, or null for none.
const char* xErrorsRelease();
